// The in-memory host and the file host behind the conformance suite.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "HostUnderTest.h"
#include "hostintf/InterfacePtr.h"
#include "hosts/files/FileHost.h"
#include "support/MemoryHost.h"

namespace scrivlock::hosts::conformance {

using namespace scrivlock::hostintf;

namespace {

void WriteFiles(const std::string& folder, const std::vector<TFile>& files) {
  for (const TFile& file : files)
    std::ofstream(folder + "/" + file.Name, std::ios::binary) << file.Text;
}

class TMemoryHostUnderTest : public THostUnderTest {
 public:
  void Start(const std::string& folder, const std::vector<TFile>& units,
             const std::vector<TFile>& others) override {
    WriteFiles(folder, units);
    WriteFiles(folder, others);
    FHost.OpenProject(folder + "/Project.dpr");
    for (const TFile& unit : units) FHost.AddUnit(folder + "/" + unit.Name, unit.Text);
  }
  TIToolServices& Services() override { return *FHost.ToolServices(); }
  std::string ProjectFile() override { return FHost.ProjectFile(); }
  std::vector<std::string> Escapes() override { return FHost.UnhandledExceptions(); }
  std::optional<int> LiveInterfaces() override { return FHost.LiveInterfaces(); }
  std::vector<std::string> ReferenceFaults() override { return FHost.ReferenceFaults(); }
  bool RemoveUnit(const std::string& fileName) override { return FHost.RemoveUnit(fileName); }
  bool CloseProject() override {
    FHost.CloseProject();
    return true;
  }
  bool LoadPlugIn(const std::string& path, std::string& error) override {
    return FHost.LoadExpertLibrary(path, &error);
  }
  void UnloadPlugIns() override { FHost.UnloadExperts(); }
  int ExpertCount() override { return FHost.ExpertCount(); }
  int AddInNotifierCount() override { return FHost.AddInNotifierCount(); }
  bool HasMenuItem(const std::string& name) override {
    return FHost.FindMenuItem(name).has_value();
  }

 private:
  TMemoryHost FHost;
};

// The file host tells its user what a plug-in let out on stderr, which is
// caught in a file while the host lives.
class TFileHostUnderTest : public THostUnderTest {
 public:
  // `fromDrafts`: the units' texts are put into the host's buffers by a writer
  // once it has started, so that its writers start from drafts, not files.
  explicit TFileHostUnderTest(bool fromDrafts) : FFromDrafts(fromDrafts) {
    std::fflush(stderr);
    FCaught = std::tmpfile();
    FStderr = ::dup(STDERR_FILENO);
    ::dup2(::fileno(FCaught), STDERR_FILENO);
  }
  ~TFileHostUnderTest() override {
    FHost.reset();
    std::fflush(stderr);
    ::dup2(FStderr, STDERR_FILENO);
    ::close(FStderr);
    std::fclose(FCaught);
  }

  void Start(const std::string& folder, const std::vector<TFile>& units,
             const std::vector<TFile>& others) override {
    std::vector<TFile> onDisk = units;
    if (FFromDrafts) {
      for (TFile& unit : onDisk) unit.Text = "on disk";
    }
    WriteFiles(folder, onDisk);
    WriteFiles(folder, others);
    FHost = std::make_unique<TFileHost>(folder);
    if (!FFromDrafts) return;
    for (const TFile& unit : units) {
      TInterfacePtr<TIModuleInterface> module(
          Services().GetModuleInterface(folder + "/" + unit.Name));
      TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
      TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
      writer->Insert(unit.Text.c_str());
      writer->DeleteTo(1 << 30);
    }
  }
  TIToolServices& Services() override { return *FHost->ToolServices(); }
  std::string ProjectFile() override { return {}; }
  std::vector<std::string> Escapes() override {
    std::fflush(stderr);
    std::ifstream in("/proc/self/fd/" + std::to_string(::fileno(FCaught)));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::optional<int> LiveInterfaces() override { return FHost->LiveInterfaces(); }

 private:
  bool FFromDrafts;
  std::FILE* FCaught = nullptr;
  int FStderr = -1;
  std::unique_ptr<TFileHost> FHost;
};

}  // namespace

#ifdef SCRIVLOCK_CONFORMANCE_IDE
THostKind IdeHostKind();
#endif

std::vector<THostKind> HostKinds() {
  std::vector<THostKind> kinds = {
      {"memory", [] { return std::make_unique<TMemoryHostUnderTest>(); }, true, true, true},
      {"files", [] { return std::make_unique<TFileHostUnderTest>(false); }, false, false, false},
      {"files_from_drafts", [] { return std::make_unique<TFileHostUnderTest>(true); }, false, false,
       false},
  };
#ifdef SCRIVLOCK_CONFORMANCE_IDE
  kinds.push_back(IdeHostKind());
#endif
  return kinds;
}

}  // namespace scrivlock::hosts::conformance
