// ide_driver: the IDE as scrivlock-ide builds it, driven by a script on its
// command line instead of a user, for tests that need the IDE as a process of
// its own (killed halfway, as by a crash) and for the screenshot.
//
//   ide_driver PLUGIN PROJECT STEP...
//
// Steps, run in order once the project is open:
//   size W H         the main window's size, at the screen's top left
//   comments         View > Comments...
//   open NAME        opens the project's file NAME in its tab
//   choose NAME      chooses NAME in the Comments window's list
//   uncomment        clicks Uncomment
//   recomment        clicks Re-Comment
//   saveall          File > Save All
//   ready            writes "ready" to stdout and waits to be killed
//   screenshot FILE  saves what the IDE and its windows show to FILE (PNG)
// A message box is answered with OK and its text written to stderr. The
// driver quits after the last step, dropping what is unsaved.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "hosts/ide/IdeWindow.h"

namespace {

using scrivlock::hosts::ide::TIdeWindow;

QWidget* Comments() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String("Comments")) return widget;
  return nullptr;
}

void AnswerBoxes() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box || !box->isVisible()) continue;
    std::fprintf(stderr, "box: %s\n", box->text().toLocal8Bit().constData());
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
      ok->click();
    else
      box->reject();
  }
}

// Lets the window system and the queued placing of windows catch up.
void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool Screenshot(TIdeWindow& ide, const QString& file) {
  Settle();
  QRect area = ide.frameGeometry();
  QWidget* comments = Comments();
  if (comments && comments->isVisible()) area |= comments->frameGeometry();
  area.adjust(-8, -8, 8, 8);
  QScreen* screen = ide.screen();
  area &= screen->geometry();
  return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file, "PNG");
}

bool Run(TIdeWindow& ide, const QStringList& steps) {
  for (qsizetype i = 0; i < steps.size(); ++i) {
    const QString& step = steps[i];
    const auto argument = [&]() { return i + 1 < steps.size() ? steps[++i] : QString(); };
    Settle();
    if (step == QLatin1String("size")) {
      const int width = argument().toInt();
      const int height = argument().toInt();
      ide.setGeometry(0, 0, width, height);
    } else if (step == QLatin1String("comments")) {
      auto* command = ide.menuBar()->findChild<QAction*>(QStringLiteral("ViewScrivlockItem"));
      if (!command) return false;
      command->trigger();
    } else if (step == QLatin1String("open")) {
      const QString name = argument();
      bool found = false;
      for (const auto& buffer : ide.Services().Buffers())
        if (QString::fromStdString(buffer->FileName).endsWith(QLatin1Char('/') + name))
          found = ide.Services().Open(buffer, true);
      if (!found) return false;
    } else if (step == QLatin1String("choose")) {
      auto* units =
          Comments() ? Comments()->findChild<QComboBox*>(QStringLiteral("CBUnits")) : nullptr;
      const int index = units ? units->findText(argument()) : -1;
      if (index < 0) return false;
      units->setCurrentIndex(index);
    } else if (step == QLatin1String("uncomment") || step == QLatin1String("recomment")) {
      const QString name = step == QLatin1String("uncomment") ? QStringLiteral("UnCommBtn")
                                                              : QStringLiteral("ReCommBtn");
      auto* button = Comments() ? Comments()->findChild<QPushButton*>(name) : nullptr;
      if (!button) return false;
      button->click();
    } else if (step == QLatin1String("saveall")) {
      if (!ide.SaveAll()) return false;
    } else if (step == QLatin1String("ready")) {
      std::printf("ready\n");
      std::fflush(stdout);
      for (;;) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else if (step == QLatin1String("screenshot")) {
      if (!Screenshot(ide, argument())) return false;
    } else {
      std::fprintf(stderr, "ide_driver: no step %s\n", step.toLocal8Bit().constData());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() < 3) {
    std::fprintf(stderr, "usage: ide_driver PLUGIN PROJECT STEP...\n");
    return 2;
  }
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, &AnswerBoxes);
  answer.start(5);

  int result = 0;
  {
    TIdeWindow ide;
    ide.show();
    if (!ide.LoadPlugin(arguments[1]) || !ide.OpenProjectPath(arguments[2])) return 1;
    if (!Run(ide, arguments.mid(3))) {
      std::fprintf(stderr, "ide_driver: a step failed\n");
      result = 1;
    }
    ide.SetInteractive(false);
    ide.close();
  }
  return result;
}
