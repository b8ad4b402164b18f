// What the IDE host's suites share: a copy of the example project in a
// folder of its own, the IDE on it with the real plug-in, the steps a user
// takes, and the message boxes answered as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hosts/ide/IdeEditor.h"
#include "hosts/ide/IdeWindow.h"

// Failures show Qt's strings as text.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os) {
  *os << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"' << bytes.toStdString() << '"';
}

namespace scrivlock::hosts::ide::testing {

// While it exists, answers every message box: the IDE's question about unsaved
// changes with `UnsavedAnswer`, any other box with OK (or by closing it).
class TBoxAnswers {
 public:
  struct TShown {
    std::string Name;
    std::string Text;
    std::string Informative;
  };

  TBoxAnswers() {
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
    FTimer.start(2);
  }
  QMessageBox::StandardButton UnsavedAnswer = QMessageBox::Cancel;
  const std::vector<TShown>& Shown() const { return FShown; }

 private:
  void Answer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      FShown.push_back({box->objectName().toStdString(), box->text().toStdString(),
                        box->informativeText().toStdString()});
      QAbstractButton* button =
          box->button(box->objectName() == QLatin1String("IdeUnsavedQuestion") ? UnsavedAnswer
                                                                               : QMessageBox::Ok);
      if (button)
        button->click();
      else
        box->reject();
    }
  }

  QTimer FTimer;
  std::vector<TShown> FShown;
};

// Runs `program` with `arguments`; its exit status, or none when it did not
// end within `seconds` (it is killed then). Its outputs go to `out` and `err`.
inline std::optional<int> RunProgram(const QString& program, const QStringList& arguments,
                                     QString* out = nullptr, QString* err = nullptr,
                                     int seconds = 60) {
  QProcess process;
  process.start(program, arguments);
  const bool ended = process.waitForStarted() && process.waitForFinished(seconds * 1000);
  if (!ended) process.kill(), process.waitForFinished();
  if (out) *out = QString::fromLocal8Bit(process.readAllStandardOutput());
  if (err) *err = QString::fromLocal8Bit(process.readAllStandardError());
  if (!ended || process.exitStatus() != QProcess::NormalExit) return std::nullopt;
  return process.exitCode();
}

// Whether Free Pascal builds the project `projectFile` (as Delphi code, as a
// .dpr is); none when fpc is not installed. Its output goes to `output`.
inline std::optional<bool> BuildsWithFpc(const QString& projectFile, QString* output) {
  const QString fpc = QStandardPaths::findExecutable(QStringLiteral("fpc"));
  if (fpc.isEmpty()) return std::nullopt;
  QTemporaryDir out;
  QString errors;
  const std::optional<int> status =
      RunProgram(fpc,
                 {QStringLiteral("-Mdelphi"), QStringLiteral("-FE") + out.path(),
                  QStringLiteral("-FU") + out.path(), projectFile},
                 output, &errors, 120);
  *output += errors;
  return status == 0;
}

class TIdeFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FFolder.isValid()); }
  void TearDown() override {
    if (FIde) {
      FIde->SetInteractive(false);
      FIde->close();
      FIde.reset();
    }
    for (const TBoxAnswers::TShown& box : FBoxes.Shown())
      EXPECT_TRUE(FExpectBoxes || box.Name == "IdeUnsavedQuestion")
          << "a box showed: " << box.Name << ": " << box.Text;
  }

  std::string Path(const QString& name) const {
    return QDir::cleanPath(FFolder.filePath(name)).toStdString();
  }
  QByteArray Disk(const QString& name) const {
    QFile file(FFolder.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  bool OnDisk(const QString& name) const { return QFile::exists(FFolder.filePath(name)); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile file(FFolder.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }
  void CopyExample() {
    const QDir example(QStringLiteral(SCRIVLOCK_EXAMPLE));
    for (const QString& name : example.entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(example.filePath(name), FFolder.filePath(name)));
  }

  // The IDE, shown, with the plug-in, on the project `project` of the folder.
  void Start(const QString& project = QStringLiteral("Demo.dpr")) {
    FIde = std::make_unique<TIdeWindow>();
    FIde->setGeometry(40, 40, 640, 480);
    FIde->show();
    ASSERT_TRUE(FIde->LoadPlugin(QStringLiteral(SCRIVLOCK_PLUGIN)));
    ASSERT_TRUE(FIde->OpenProjectPath(FFolder.filePath(project)));
  }
  TIdeServices& Services() { return FIde->Services(); }
  TIdeBufferPtr Buffer(const QString& name) { return Services().Find(Path(name)); }
  // The buffer's bytes as the host interface sees them.
  QByteArray Text(const QString& name) {
    const TIdeBufferPtr buffer = Buffer(name);
    if (!buffer || !Services().Load(buffer)) return "<none>";
    const std::string_view bytes = buffer->Bytes();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  // The title of the file's tab; empty when it has none.
  QString TabTitle(const QString& name) {
    const TIdeBufferPtr buffer = Buffer(name);
    const int index = buffer && buffer->Editor ? FIde->Tabs()->indexOf(buffer->Editor) : -1;
    return index < 0 ? QString() : FIde->Tabs()->tabText(index);
  }
  TIdeEditor* OpenEditor(const QString& name) {
    const TIdeBufferPtr buffer = Buffer(name);
    return buffer && Services().Open(buffer, true) ? buffer->Editor : nullptr;
  }
  QString StatusField(const char* name) {
    auto* label = FIde->findChild<QWidget*>(QString::fromLatin1(name));
    return label ? label->property("text").toString() : QString();
  }

  // The plug-in's window, after View > Comments...
  QWidget* ShowComments() {
    auto* command = FIde->menuBar()->findChild<QAction*>(QStringLiteral("ViewScrivlockItem"));
    if (!command) return nullptr;
    command->trigger();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    return Comments();
  }
  static QWidget* Comments() {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (widget->objectName() == QLatin1String("Comments")) return widget;
    return nullptr;
  }
  static QComboBox* UnitList() {
    return Comments() ? Comments()->findChild<QComboBox*>(QStringLiteral("CBUnits")) : nullptr;
  }
  static QStringList Listed() {
    QStringList names;
    if (QComboBox* units = UnitList())
      for (int i = 0; i < units->count(); ++i) names << units->itemText(i);
    return names;
  }
  // Chooses `unit` in the list and clicks `button` ("UnCommBtn", "ReCommBtn").
  static void Run(const QString& unit, const char* button) {
    QComboBox* units = UnitList();
    ASSERT_NE(units, nullptr);
    const int index = units->findText(unit);
    ASSERT_GE(index, 0) << unit.toStdString() << " is not listed";
    units->setCurrentIndex(index);
    auto* push = Comments()->findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_NE(push, nullptr);
    push->click();
  }

  QTemporaryDir FFolder;
  TBoxAnswers FBoxes;  // made before the IDE, so that it answers until the IDE is gone
  bool FExpectBoxes = false;
  std::unique_ptr<TIdeWindow> FIde;
};

}  // namespace scrivlock::hosts::ide::testing
