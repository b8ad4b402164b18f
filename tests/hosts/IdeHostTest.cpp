// The plug-in in the Qt IDE host, on a copy of the example project: what a
// user does (open, View > Comments..., Uncomment, Save All, Re-Comment) and
// what ends up on disk.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "hosts/ide/IdeWindow.h"
#include "support/QtTestSupport.h"

namespace scrivlock {
namespace {

using testing::FindChild;
using testing::FindWindow;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(IdeHostTest, UncommentsSavesAndReCommentsAUnitOfTheExampleProject) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QDir example(QStringLiteral(SCRIVLOCK_EXAMPLE));
  for (const QString& name : example.entryList(QDir::Files))
    ASSERT_TRUE(QFile::copy(example.filePath(name), folder.filePath(name)));
  const QString greeting = folder.filePath(QStringLiteral("Greeter.pas"));
  const QByteArray original = ReadAll(greeting);

  testing::TBoxRecorder boxes;
  {
    hosts::ide::TIdeWindow ide;
    ide.show();
    ASSERT_TRUE(ide.LoadPlugin(QStringLiteral(SCRIVLOCK_PLUGIN)));
    ASSERT_TRUE(ide.OpenProjectPath(folder.filePath(QStringLiteral("Demo.dpr"))));
    auto* command = ide.menuBar()->findChild<QAction*>(QStringLiteral("ViewScrivlockItem"));
    ASSERT_NE(command, nullptr);
    command->trigger();
    QWidget* comments = FindWindow("Comments");
    auto* units = FindChild<QComboBox>(comments, "CBUnits");
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->count(), 2);
    ASSERT_EQ(units->itemText(0), "Greeter.pas");

    units->setCurrentIndex(0);
    QTest::mouseClick(FindChild<QPushButton>(comments, "UnCommBtn"), Qt::LeftButton);
    ASSERT_EQ(units->count(), 3) << "the commenting module joins the list";
    EXPECT_EQ(units->itemText(2), "Unit1.pas");
    ASSERT_TRUE(ide.Services().Save(ide.Services().Find(greeting.toStdString())));
    ASSERT_TRUE(
        ide.Services().Save(ide.Services().Find(folder.filePath("Unit1.pas").toStdString())));
    const QByteArray stripped = ReadAll(greeting);
    EXPECT_FALSE(stripped.contains("Writes a greeting for Name"));
    EXPECT_TRUE(stripped.contains("{#"));
    EXPECT_TRUE(ReadAll(folder.filePath("Unit1.pas")).contains("Writes a greeting for Name"));

    units->setCurrentIndex(0);
    QTest::mouseClick(FindChild<QPushButton>(comments, "ReCommBtn"), Qt::LeftButton);
    ASSERT_TRUE(ide.Services().Save(ide.Services().Find(greeting.toStdString())));
    EXPECT_EQ(ReadAll(greeting), original);
    EXPECT_FALSE(QFile::exists(folder.filePath("Unit1.pas")));
  }
  for (const testing::TShownBox& box : boxes.Boxes())
    EXPECT_FALSE(box.Name.starts_with("Scrivlock")) << box.Text;
  EXPECT_EQ(FindWindow("Comments"), nullptr);
}

}  // namespace
}  // namespace scrivlock
