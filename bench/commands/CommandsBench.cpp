// FindCommentingModules over a project of 10,000 units of about 20 KB in the
// in-memory host, side by side with its peer: reading the same 10,000 first
// chunks (8092 bytes) from files with plain open/read/close.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "commands/Commands.h"
#include "hostintf/ToolServices.h"
#include "source/SourceClass.h"
#include "support/MemoryHost.h"

namespace {

using namespace scrivlock;
namespace fs = std::filesystem;

constexpr int kUnits = 10000;
constexpr size_t kUnitSize = 20000;

std::string MakeUnit(int index) {
  std::string text =
      "unit Part" + std::to_string(index) + ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\n";
  while (text.size() < kUnitSize) {
    text +=
        "procedure Step;  // one step of the work\r\nbegin\r\n  Inc(Counter); { count it "
        "}\r\nend;\r\n\r\n";
  }
  return text + "end.\r\n";
}

// The project, made once: in the memory host and, for the peer, on disk.
struct TProject {
  fs::path Folder;
  hosts::TMemoryHost Host;
  commands::TUnitFileList Units;
  std::string Target;

  TProject() {
    Folder = fs::temp_directory_path() / ("scrivlock-bench-" + std::to_string(getpid()));
    fs::create_directories(Folder);
    Host.SetKeepReleased(false);
    Host.OpenProject((Folder / "Project1.dpr").string());
    Target = (Folder / "Part0.pas").string();
    for (int i = 0; i < kUnits; ++i) {
      const std::string name = (Folder / ("Part" + std::to_string(i) + ".pas")).string();
      std::string text = MakeUnit(i);
      if (i == kUnits / 2) {  // the commenting module of Part0.pas
        TByteStream source(MakeUnit(0)), stripped, module;
        source::TSourceClass processor;
        processor.FileName = Target;
        processor.UnComment(source, stripped, module, "Part" + std::to_string(i));
        text = std::string(module.View());
      }
      std::ofstream(name, std::ios::binary) << text;
      Host.AddUnit(name, std::move(text));
      Units.Add(name);
    }
  }
  ~TProject() { fs::remove_all(Folder); }
};

TProject& Project() {
  static TProject project;
  return project;
}

void BM_FindCommentingModules_MemoryHost(benchmark::State& state) {
  TProject& project = Project();
  hostintf::TToolServicesScope scope(project.Host.ToolServices());
  std::string moduleFile;
  for (auto _ : state) {
    const int32_t count =
        commands::FindCommentingModules(project.Target, project.Units, moduleFile);
    if (count != 1) state.SkipWithError("the module was not found");
    benchmark::DoNotOptimize(moduleFile);
  }
  state.SetItemsProcessed(state.iterations() * kUnits);
  state.SetBytesProcessed(state.iterations() * kUnits * commands::ReadChunkSize);
}
BENCHMARK(BM_FindCommentingModules_MemoryHost)->Unit(benchmark::kMillisecond);

void BM_PlainFirstChunkReads(benchmark::State& state) {
  TProject& project = Project();
  std::vector<char> buffer(commands::ReadChunkSize);
  for (auto _ : state) {
    int64_t total = 0;
    for (const std::string& name : project.Units.Items()) {
      const int fd = ::open(name.c_str(), O_RDONLY);
      total += ::read(fd, buffer.data(), buffer.size());
      ::close(fd);
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kUnits);
  state.SetBytesProcessed(state.iterations() * kUnits * commands::ReadChunkSize);
}
BENCHMARK(BM_PlainFirstChunkReads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
