// From INITEXPERT0017 to a shown Comments window with a refreshed unit list, for
// projects of 10 and 10,000 units: the real libscrivlock.so in the in-memory
// host, offscreen. The peer in the same run is a second choice of the command
// on the window that already exists (refresh and show only), which tells the
// window's creation apart from the list's cost.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <QApplication>
#include <QComboBox>
#include <QWidget>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "hostintf/ExptIntf.h"
#include "support/MemoryHost.h"

namespace {

using scrivlock::hosts::TMemoryHost;

scrivlock::hostintf::TExpertInitProc EntryPoint() {
  // Loaded once and kept: dlopen is the host's cost, not the plug-in's.
  static void* library = dlopen(SCRIVLOCK_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  return reinterpret_cast<scrivlock::hostintf::TExpertInitProc>(
      dlsym(library, scrivlock::hostintf::ExpertEntryPointName));
}

TMemoryHost& HostWithUnits(int units) {
  static std::map<int, std::unique_ptr<TMemoryHost>> hosts;
  std::unique_ptr<TMemoryHost>& host = hosts[units];
  if (!host) {
    host = std::make_unique<TMemoryHost>();
    host->SetKeepReleased(false);
    host->OpenProject("/bench/Project1.dpr");
    for (int i = 0; i < units; ++i)
      host->AddUnit("/bench/src/Unit" + std::to_string(i) + ".pas", "unit X;\r\nend.\r\n");
  }
  return *host;
}

int ListedUnits() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String("Comments") && widget->isVisible())
      if (auto* units = widget->findChild<QComboBox*>(QStringLiteral("CBUnits")))
        return units->count();
  return -1;
}

void BM_InitToShownWindow(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  TMemoryHost& host = HostWithUnits(units);
  const auto init = EntryPoint();
  if (!init) {
    state.SkipWithError("cannot load libscrivlock.so");
    return;
  }
  for (auto _ : state) {
    host.InitExpert(init);
    host.ClickMenuItem("ViewScrivlockItem");
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (ListedUnits() != units) state.SkipWithError("the window did not list every unit");
    host.UnloadExperts();
    state.ResumeTiming();
  }
  state.counters["units"] = units;
}
BENCHMARK(BM_InitToShownWindow)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ChooseCommandAgain(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  TMemoryHost& host = HostWithUnits(units);
  const auto init = EntryPoint();
  if (!init) {
    state.SkipWithError("cannot load libscrivlock.so");
    return;
  }
  host.InitExpert(init);
  host.ClickMenuItem("ViewScrivlockItem");
  for (auto _ : state) {
    host.ClickMenuItem("ViewScrivlockItem");
    QCoreApplication::processEvents();
  }
  if (ListedUnits() != units) state.SkipWithError("the window did not list every unit");
  host.UnloadExperts();
  state.counters["units"] = units;
}
BENCHMARK(BM_ChooseCommandAgain)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
