// Throughput of UnComment and ReComment on the Free Pascal sources held in
// memory, measured in the same run as memcpy of the same bytes; the ratios are
// printed at the end. Each figure is the median of 5 repetitions unless
// --benchmark_repetitions says otherwise: one measurement on a shared machine
// can be off by a fifth.
//
//   build/bench/source/source_bench [--benchmark_repetitions=9]
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "source/SourceClass.h"

namespace {

using scrivlock::TByteStream;
using scrivlock::source::TSourceClass;

struct TCorpus {
  std::vector<std::string> units;
  std::vector<std::string> stripped;
  std::vector<std::string> modules;
  int64_t bytes = 0;
  size_t largest = 0;
};

const TCorpus& Corpus() {
  static const TCorpus corpus = [] {
    TCorpus c;
    const char* list = std::getenv("SCRIVLOCK_CORPUS_LIST");
    std::ifstream in(list ? list : "/var/lib/dpkg/info/fpc-source-3.2.2.list");
    for (std::string line; std::getline(in, line);) {
      const std::filesystem::path path(line);
      if ((path.extension() != ".pas" && path.extension() != ".pp") ||
          !std::filesystem::is_regular_file(path)) {
        continue;
      }
      std::ifstream file(path, std::ios::binary);
      std::ostringstream text;
      text << file.rdbuf();
      c.units.push_back(text.str());
      c.bytes += static_cast<int64_t>(c.units.back().size());
      c.largest = std::max(c.largest, c.units.back().size());
      TSourceClass processor;
      processor.FileName = "Unit1.pas";
      TByteStream source(c.units.back()), stripped, module;
      processor.UnComment(source, stripped, module, "Unit2");
      c.stripped.emplace_back(stripped.View());
      c.modules.emplace_back(module.View());
    }
    return c;
  }();
  return corpus;
}

void BM_Memcpy(benchmark::State& state) {
  const TCorpus& c = Corpus();
  std::string target(c.largest, '\0');
  for (auto _ : state) {
    for (const std::string& unit : c.units) {
      std::memcpy(target.data(), unit.data(), unit.size());
      benchmark::DoNotOptimize(target.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

// The units are held in streams before timing starts, and the output streams
// are kept from unit to unit, as memcpy's target is: what is measured is the
// scan and the walk, not the allocator.
void BM_UnComment(benchmark::State& state) {
  const TCorpus& c = Corpus();
  std::vector<TByteStream> sources(c.units.begin(), c.units.end());
  TByteStream stripped, module;
  for (auto _ : state) {
    for (TByteStream& source : sources) {
      TSourceClass processor;  // fresh for each unit, as every command makes one
      processor.FileName = "Unit1.pas";
      source.Seek(0);
      module.Clear();
      benchmark::DoNotOptimize(processor.UnComment(source, stripped, module, "Unit2"));
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

void BM_ReComment(benchmark::State& state) {
  const TCorpus& c = Corpus();
  std::vector<TByteStream> stripped(c.stripped.begin(), c.stripped.end());
  std::vector<TByteStream> modules(c.modules.begin(), c.modules.end());
  TByteStream restored;
  for (auto _ : state) {
    for (size_t i = 0; i < stripped.size(); ++i) {
      TSourceClass processor;
      benchmark::DoNotOptimize(processor.ReComment(stripped[i], modules[i], restored));
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);  // bytes of the restored units
}

// As a command runs it: every stream new for every unit.
void BM_UnCommentFreshStreams(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    for (const std::string& unit : c.units) {
      TSourceClass processor;
      processor.FileName = "Unit1.pas";
      TByteStream source(unit), stripped, module;
      benchmark::DoNotOptimize(processor.UnComment(source, stripped, module, "Unit2"));
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnComment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReComment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnCommentFreshStreams)->Unit(benchmark::kMillisecond);

// Keeps each run's speed so that the ratios can be printed after the table.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With --benchmark_repetitions the median stands for the runs.
      if (!run.aggregate_name.empty() && run.aggregate_name != "median") continue;
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) speed[run.run_name.function_name] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> speed;
};

}  // namespace

int main(int argc, char** argv) {
  // The defaults go first, so that the caller's own flags override them.
  std::vector<char*> args{argv[0]};
  char repetitions[] = "--benchmark_repetitions=5";
  char aggregates[] = "--benchmark_report_aggregates_only=true";
  args.insert(args.end(), {repetitions, aggregates});
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  const TCorpus& c = Corpus();
  if (c.units.empty()) {
    std::cerr << "corpus absent: install fpc-source-3.2.2\n";
    return 1;
  }
  std::cout << "corpus: " << c.units.size() << " units, " << c.bytes << " bytes\n";
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double copy = reporter.speed["BM_Memcpy"];
  if (copy > 0) {
    std::printf("UnComment / memcpy: %.2f (target >= 0.35)\n",
                reporter.speed["BM_UnComment"] / copy);
    std::printf("ReComment / memcpy: %.2f (target >= 0.50)\n",
                reporter.speed["BM_ReComment"] / copy);
  }
  benchmark::Shutdown();
  return 0;
}
