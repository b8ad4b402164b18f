// scrivlock-ide: a small Object Pascal editor that hosts the Scrivlock plug-in.
//   scrivlock-ide [--plugin PATH] [PROJECT]
// PROJECT is a .dpr or .lpr file or a folder of units. The plug-in is looked
// for, in order: --plugin, $SCRIVLOCK_PLUGIN, libscrivlock.so next to the
// program or in ../lib/scrivlock (where both the build and the install put it).
//   scrivlock-ide --check [--plugin PATH] PROJECT
// opens PROJECT, chooses View > Comments... and quits, telling what the window
// listed: a smoke test that needs no display (QT_QPA_PLATFORM=offscreen). It
// asks nothing: a failure is written to stderr and the status is not 0.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hosts/ide/IdeWindow.h"

namespace {

// Qt's own start-up takes "--plugin NAME" (a Qt plug-in to load) for itself
// before our parser sees it, so that form of our option is joined into
// "--plugin=NAME" first.
std::vector<std::string> JoinPluginValue(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      for (; i < argc; ++i) arguments.emplace_back(argv[i]);
      break;
    }
    if (i > 0 && i + 1 < argc && std::strcmp(argv[i], "--plugin") == 0) {
      arguments.push_back(std::string("--plugin=") + argv[++i]);
    } else {
      arguments.emplace_back(argv[i]);
    }
  }
  return arguments;
}

QString FindPlugin(const QString& given) {
  if (!given.isEmpty()) return given;
  const QString fromEnvironment = qEnvironmentVariable("SCRIVLOCK_PLUGIN");
  if (!fromEnvironment.isEmpty()) return fromEnvironment;
  const QDir here(QCoreApplication::applicationDirPath());
  const QString beside = here.filePath(QStringLiteral("libscrivlock.so"));
  if (QFileInfo::exists(beside)) return beside;
  return QDir::cleanPath(here.filePath(QStringLiteral("../lib/scrivlock/libscrivlock.so")));
}

// The smoke check: the command is in the View menu and its window lists the
// project's units.
int Check(scrivlock::hosts::ide::TIdeWindow& window) {
  auto* command = window.menuBar()->findChild<QAction*>(QStringLiteral("ViewScrivlockItem"));
  if (!command) {
    std::fprintf(stderr, "scrivlock-ide: no View > Comments... command\n");
    return 1;
  }
  command->trigger();
  QWidget* comments = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String("Comments")) comments = widget;
  auto* units = comments ? comments->findChild<QComboBox*>(QStringLiteral("CBUnits")) : nullptr;
  if (!comments || !comments->isVisible() || !units) {
    std::fprintf(stderr, "scrivlock-ide: the Comments window did not show\n");
    return 1;
  }
  std::printf("project units: %d, listed in Comments: %d\n", window.Services().GetUnitCount() - 1,
              units->count());
  if (window.ErrorCount() > 0) return 1;
  return units->count() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> joined = JoinPluginValue(argc, argv);
  std::vector<char*> arguments;
  for (std::string& argument : joined) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  int count = static_cast<int>(joined.size());
  QApplication application(count, arguments.data());
  QApplication::setApplicationName(QStringLiteral("scrivlock-ide"));
  QApplication::setApplicationVersion(QStringLiteral(SCRIVLOCK_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("A small Object Pascal editor that hosts the Scrivlock plug-in.\n"
                     "See scrivlock-ide(1) for more."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                        QStringLiteral("The plug-in library to load."),
                                        QStringLiteral("path"));
  const QCommandLineOption checkOption(
      QStringLiteral("check"),
      QStringLiteral("Open the project, show Comments... and quit; asks nothing, and a "
                     "failure is written to stderr with a status other than 0."));
  parser.addOption(pluginOption);
  parser.addOption(checkOption);
  parser.addPositionalArgument(QStringLiteral("project"),
                               QStringLiteral("A .dpr or .lpr file or a folder of units."));
  parser.process(application);
  const bool check = parser.isSet(checkOption);

  scrivlock::hosts::ide::TIdeWindow window;
  window.SetInteractive(!check);
  window.show();
  const bool loaded = window.LoadPlugin(FindPlugin(parser.value(pluginOption)));
  const QStringList projects = parser.positionalArguments();
  const bool opened = !projects.isEmpty() && window.OpenProjectPath(projects.first());

  if (check) {
    if (projects.isEmpty()) std::fprintf(stderr, "scrivlock-ide: --check needs a project\n");
    const int result = loaded && opened ? Check(window) : 1;
    window.close();
    return result;
  }
  return application.exec();
}
