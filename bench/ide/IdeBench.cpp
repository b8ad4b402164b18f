// The Qt IDE host with the real plug-in, offscreen, as a user meets it:
//   - start-up: the main window shown with a project of 1,000 units open and
//     the plug-in loaded (the limit: 1 s);
//   - Uncomment and Re-Comment of a 1 MB unit, from the click to the unit's
//     tab updated and the module's tab open, or closed (the limit: 200 ms
//     each), beside the same command on the same bytes in the in-memory host,
//     which has no editor: the difference is what the IDE adds;
//   - opening a 10 MB unit in a tab (the limit: 1 s), beside reading the
//     file into memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "commands/Commands.h"
#include "hostintf/ToolServices.h"
#include "hosts/ide/IdeWindow.h"
#include "support/MemoryHost.h"

namespace {

using namespace scrivlock;
using hosts::ide::TIdeWindow;
namespace fs = std::filesystem;

// A unit of about `size` bytes with comments of the three kinds, directives
// and strings that look like comments.
std::string MakeUnit(const std::string& name, size_t size) {
  std::string text = "unit " + name + ";\r\n\r\n{ " + name +
                     ": made for measuring. }\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\n";
  for (int i = 0; text.size() < size; ++i) {
    const std::string n = std::to_string(i);
    text += "{ Step" + n + ": one step of the work,\r\n  told in two lines. }\r\nprocedure Step" +
            n +
            "; // a line comment\r\nbegin\r\n  {$IFDEF DEBUG} Trace; {$ENDIF}\r\n  (* a star "
            "comment *)\r\n" +
            "  Writeln('{ not a comment } (* nor this *) // nor this');\r\nend;\r\n\r\n";
  }
  return text + "end.\r\n";
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

fs::path NewFolder(const std::string& name) {
  const fs::path folder =
      fs::temp_directory_path() / ("scrivlock-ide-bench-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// Folders made by the benchmarks, removed at the end.
std::vector<fs::path>& Folders() {
  static std::vector<fs::path> folders;
  return folders;
}

// A project of `units` units of about 2 KB, named in its uses clause.
fs::path MakeProject(int units) {
  const fs::path folder = NewFolder("units" + std::to_string(units));
  Folders().push_back(folder);
  std::string project = "program Big;\r\n\r\nuses";
  for (int i = 0; i < units; ++i) {
    const std::string name = "Part" + std::to_string(i);
    WriteFile(folder / (name + ".pas"), MakeUnit(name, 2000));
    project += (i == 0 ? "\r\n  " : ",\r\n  ") + name + " in '" + name + ".pas'";
  }
  WriteFile(folder / "Big.dpr", project + ";\r\n\r\nbegin\r\nend.\r\n");
  return folder / "Big.dpr";
}

QWidget* Comments() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String("Comments")) return widget;
  return nullptr;
}

// The IDE on a project whose one unit Main.pas is of `size` bytes.
struct TOneUnitIde {
  fs::path Folder;
  std::unique_ptr<TIdeWindow> Ide;
  QComboBox* Units = nullptr;
  QPushButton* UnComment = nullptr;
  QPushButton* ReComment = nullptr;

  explicit TOneUnitIde(size_t size) : Folder(NewFolder("unit" + std::to_string(size))) {
    Folders().push_back(Folder);
    WriteFile(Folder / "Main.pas", MakeUnit("Main", size));
    WriteFile(Folder / "One.dpr",
              "program One;\r\n\r\nuses\r\n  Main in 'Main.pas';\r\n\r\nbegin\r\nend.\r\n");
    Ide = std::make_unique<TIdeWindow>();
    Ide->SetInteractive(false);
    Ide->show();
    Ide->LoadPlugin(QStringLiteral(SCRIVLOCK_PLUGIN));
    Ide->OpenProjectPath(QString::fromStdString((Folder / "One.dpr").string()));
    auto* command = Ide->menuBar()->findChild<QAction*>(QStringLiteral("ViewScrivlockItem"));
    if (command) command->trigger();
    if (QWidget* window = Comments()) {
      Units = window->findChild<QComboBox*>(QStringLiteral("CBUnits"));
      UnComment = window->findChild<QPushButton*>(QStringLiteral("UnCommBtn"));
      ReComment = window->findChild<QPushButton*>(QStringLiteral("ReCommBtn"));
    }
    QApplication::processEvents();
  }
  bool Ready() const { return Units && UnComment && ReComment; }
  std::string MainFile() const { return (Folder / "Main.pas").string(); }
  hosts::ide::TIdeBufferPtr Main() const { return Ide->Services().Find(MainFile()); }
  bool ModuleOpen() const {
    const auto module = Ide->Services().Find((Folder / "Unit1.pas").string());
    return module && module->Editor;
  }
  void Click(QPushButton* button) {
    Units->setCurrentIndex(Units->findText(QStringLiteral("Main.pas")));
    button->click();
    // The tabs painted as they now are.
    QApplication::processEvents();
  }
};

void BM_StartUpWith1000Units(benchmark::State& state) {
  const fs::path project = MakeProject(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto ide = std::make_unique<TIdeWindow>();
    ide->SetInteractive(false);
    ide->show();
    const bool loaded = ide->LoadPlugin(QStringLiteral(SCRIVLOCK_PLUGIN));
    const bool opened = ide->OpenProjectPath(QString::fromStdString(project.string()));
    QApplication::processEvents();
    state.PauseTiming();
    if (!loaded || !opened || ide->Services().GetUnitCount() != state.range(0) + 1)
      state.SkipWithError("the project did not open with the plug-in");
    ide.reset();
    state.ResumeTiming();
  }
  state.counters["units"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_StartUpWith1000Units)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The command alone, on the same bytes, in a host without an editor.
void BM_UncommentInMemoryHost(benchmark::State& state) {
  const std::string text = MakeUnit("Main", static_cast<size_t>(state.range(0)));
  struct TSite : commands::TCommandSite {
    void SetButtonEnabled(commands::TCommandButton, bool) noexcept override {}
    void ShowMessage(const std::string&) override {}
    bool DeleteModuleFile(const std::string&) override { return true; }
  } site;
  for (auto _ : state) {
    state.PauseTiming();
    hosts::TMemoryHost host;
    host.SetKeepReleased(false);
    hostintf::TToolServicesScope scope(host.ToolServices());
    host.OpenProject("/bench/One.dpr");
    host.AddUnit("/bench/Main.pas", text);
    commands::TUnitFileList units;
    units.Add("/bench/Main.pas");
    state.ResumeTiming();
    if (!commands::UnCommentUnit(site, units, "/bench/Main.pas"))
      state.SkipWithError("Uncomment refused");
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UncommentInMemoryHost)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UncommentInTheIde(benchmark::State& state) {
  TOneUnitIde ide(static_cast<size_t>(state.range(0)));
  if (!ide.Ready()) {
    state.SkipWithError("no Comments window");
    return;
  }
  for (auto _ : state) {
    ide.Click(ide.UnComment);
    state.PauseTiming();
    if (!ide.ModuleOpen()) state.SkipWithError("no module tab");
    ide.Click(ide.ReComment);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UncommentInTheIde)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReCommentInTheIde(benchmark::State& state) {
  TOneUnitIde ide(static_cast<size_t>(state.range(0)));
  if (!ide.Ready()) {
    state.SkipWithError("no Comments window");
    return;
  }
  const std::string original(ide.Main() && ide.Ide->Services().Load(ide.Main())
                                 ? std::string(ide.Main()->Bytes())
                                 : std::string());
  for (auto _ : state) {
    state.PauseTiming();
    ide.Click(ide.UnComment);
    state.ResumeTiming();
    ide.Click(ide.ReComment);
    state.PauseTiming();
    if (ide.ModuleOpen() || ide.Main()->Bytes() != original) state.SkipWithError("not restored");
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReCommentInTheIde)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadTheFile(benchmark::State& state) {
  const fs::path folder = NewFolder("read");
  Folders().push_back(folder);
  WriteFile(folder / "Main.pas", MakeUnit("Main", static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    std::ifstream in(folder / "Main.pas", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadTheFile)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenInATab(benchmark::State& state) {
  TOneUnitIde ide(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    const bool opened = ide.Ide->Services().Open(ide.Main(), true);
    QApplication::processEvents();
    state.PauseTiming();
    if (!opened || !ide.Main()->Editor) state.SkipWithError("not opened");
    ide.Ide->Services().CloseModule(ide.Main());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenInATab)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const fs::path& folder : Folders()) fs::remove_all(folder);
  return 0;
}
