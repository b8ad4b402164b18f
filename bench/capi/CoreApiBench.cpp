// What the C interface costs: Uncomment and Re-Comment of the Free Pascal
// sources held in memory, through scrivlock_uncomment / scrivlock_recomment
// (texts copied out and freed, as a caller in another language gets them) and
// through the C++ calls with fresh streams, as a command makes them, side by
// side in one run. The ratios are printed at the end; each figure is the
// median of 5 repetitions unless --benchmark_repetitions says otherwise.
//
//   build/bench/capi/capi_bench [--benchmark_repetitions=9]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "capi/scrivlock.h"
#include "source/SourceClass.h"

namespace {

using scrivlock::TByteStream;
using scrivlock::source::TSourceClass;

struct TCorpus {
  std::vector<std::string> units;
  std::vector<std::string> stripped;
  std::vector<std::string> modules;
  int64_t bytes = 0;
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

void BM_UnCommentCpp(benchmark::State& state) {
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

void BM_UnCommentC(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    for (const std::string& unit : c.units) {
      scrivlock_uncomment_result result;
      benchmark::DoNotOptimize(scrivlock_uncomment(unit.data(), unit.size(), "Unit1.pas", "Unit2",
                                                   SCRIVLOCK_DIALECT_DELPHI, nullptr, 0, &result));
      scrivlock_free(result.stripped);
      scrivlock_free(result.module);
      scrivlock_free(result.message);
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

void BM_ReCommentCpp(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    for (size_t i = 0; i < c.units.size(); ++i) {
      TSourceClass processor;
      TByteStream stripped(c.stripped[i]), module(c.modules[i]), restored;
      benchmark::DoNotOptimize(processor.ReComment(stripped, module, restored));
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

void BM_ReCommentC(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    for (size_t i = 0; i < c.units.size(); ++i) {
      scrivlock_recomment_result result;
      benchmark::DoNotOptimize(scrivlock_recomment(c.stripped[i].data(), c.stripped[i].size(),
                                                   c.modules[i].data(), c.modules[i].size(),
                                                   &result));
      scrivlock_free(result.restored);
      scrivlock_free(result.description);
    }
  }
  state.SetBytesProcessed(state.iterations() * c.bytes);
}

BENCHMARK(BM_UnCommentCpp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnCommentC)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReCommentCpp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReCommentC)->Unit(benchmark::kMillisecond);

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
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
  for (const char* name : {"UnComment", "ReComment"}) {
    const double cpp = reporter.speed[std::string("BM_") + name + "Cpp"];
    const double c = reporter.speed[std::string("BM_") + name + "C"];
    if (cpp > 0 && c > 0) {
      std::printf("%s, C interface time / C++ time: %.3f (target <= 1.05)\n", name, cpp / c);
    }
  }
  benchmark::Shutdown();
  return 0;
}
