// The plug-in as a host sees it: libscrivlock.so loaded with dlopen into the
// in-memory host, entered through INITEXPERT0017, driven through the host's
// menu and notifications and through the window's own widgets.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHelpEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commands/Messages.h"
#include "support/MemoryHost.h"
#include "support/QtTestSupport.h"

namespace scrivlock {
namespace {

using hostintf::TFileNotification;
using hostintf::TNotifyCode;
using hosts::TMemoryHost;
using testing::AsShown;
using testing::FindChild;
using testing::FindWindow;
using testing::TBoxRecorder;

const std::string kProject = "/scrivlock-test/Project1.dpr";
const std::string kUnit1 = "/scrivlock-test/Unit1.pas";
const std::string kUnit2 = "/scrivlock-test/Unit2.pas";
const std::string kUnit1Text =
    "unit Unit1;\r\n\r\n{ The first unit }\r\ninterface\r\n\r\nimplementation\r\n"
    "// nothing yet\r\nend.\r\n";
const std::string kUnit2Text = "unit Unit2;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
const char* const kHint = "Strip or restore the comments of a unit.";

class PluginTest : public ::testing::Test {
 protected:
  void OpenProject() {
    host.OpenProject(kProject);
    ASSERT_TRUE(host.AddUnit(kUnit1, kUnit1Text));
    ASSERT_TRUE(host.AddUnit(kUnit2, kUnit2Text));
  }
  void Load() {
    std::string error;
    ASSERT_TRUE(host.LoadExpertLibrary(SCRIVLOCK_PLUGIN, &error)) << error;
  }
  // Chooses View > Comments... and answers the window.
  QWidget* ChooseComments() {
    EXPECT_TRUE(host.ClickMenuItem("ViewScrivlockItem"));
    return FindWindow("Comments");
  }
  QComboBox* Units() { return FindChild<QComboBox>(FindWindow("Comments"), "CBUnits"); }
  std::vector<std::string> Listed() {
    std::vector<std::string> names;
    QComboBox* combo = Units();
    for (int i = 0; combo && i < combo->count(); ++i)
      names.push_back(combo->itemText(i).toStdString());
    return names;
  }
  void Click(const char* buttonName) {
    auto* button = FindChild<QPushButton>(FindWindow("Comments"), buttonName);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  void TearDown() override {
    host.UnloadExperts();
    EXPECT_EQ(FindWindow("Comments"), nullptr);
    EXPECT_EQ(host.LiveInterfaces(), 0);
    EXPECT_EQ(host.AddInNotifierCount(), 0);
    if (host.ProjectOpen()) {
      EXPECT_EQ(host.ModuleNotifierCount(host.ProjectFile()), 0);
    }
    EXPECT_FALSE(host.FindMenuItem("ViewScrivlockItem").has_value());
    EXPECT_EQ(host.ReferenceFaults(), std::vector<std::string>{});
    EXPECT_EQ(host.UnhandledExceptions(), std::vector<std::string>{});
    EXPECT_EQ(host.RaisedExceptions(), std::vector<std::string>{});
  }

  TBoxRecorder boxes;
  TMemoryHost host;
};

QPoint ScreenCentre() {
  return QGuiApplication::primaryScreen()->availableGeometry().center();
}

TEST_F(PluginTest, RegistersTheExpertAndPutsCommentsRightAfterTheProjectManager) {
  Load();
  ASSERT_EQ(host.ExpertCount(), 1);
  hostintf::TIExpert* expert = host.Expert(0);
  EXPECT_EQ(expert->GetName(), "Comments Expert");
  EXPECT_EQ(expert->GetStyle(), hostintf::esAddIn);
  EXPECT_EQ(expert->GetVersion(), 3);
  EXPECT_EQ(host.AddInNotifierCount(), 1);

  const auto item = host.FindMenuItem("ViewScrivlockItem");
  const auto projectManager = host.FindMenuItem("ViewPrjMgrItem");
  ASSERT_TRUE(item && projectManager);
  EXPECT_EQ(item->Caption, "Comments...");
  EXPECT_EQ(item->Parent, projectManager->Parent);
  EXPECT_EQ(item->Index, projectManager->Index + 1);
  EXPECT_EQ(item->Flags,
            hostintf::MenuFlag(hostintf::mfEnabled) | hostintf::MenuFlag(hostintf::mfVisible));
  EXPECT_EQ(FindWindow("Comments"), nullptr) << "the window waits for the first choice";
}

struct TMenuCase {
  const char* Name;
  bool HasMainMenu;
};
void PrintTo(const TMenuCase& c, std::ostream* out) {
  *out << c.Name;
}

class PluginMenuTest : public PluginTest, public ::testing::WithParamInterface<TMenuCase> {};

TEST_P(PluginMenuTest, AHostWithoutTheProjectManagerGetsNoCommandButTheExpertAllTheSame) {
  host.SetHasMainMenu(GetParam().HasMainMenu);
  host.RemoveProjectManagerItem();
  Load();
  EXPECT_FALSE(host.FindMenuItem("ViewScrivlockItem").has_value());
  EXPECT_EQ(host.ExpertCount(), 1);
  EXPECT_EQ(host.AddInNotifierCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Menus, PluginMenuTest,
                         ::testing::Values(TMenuCase{"NoProjectManager", true},
                                           TMenuCase{"NoMainMenu", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PluginTest, ShowsAStayOnTopToolWindowListingThePascalUnitsOfTheProject) {
  host.OpenProject(kProject);
  for (const char* name :
       {"/scrivlock-test/Unit1.pas", "/scrivlock-test/old/Unit1.pas", "/scrivlock-test/lower.pas",
        "/scrivlock-test/UPPER.PAS", "/scrivlock-test/notes.txt", "/scrivlock-test/Main.dfm"})
    ASSERT_TRUE(host.AddUnit(name, "unit X;\r\nend.\r\n"));
  Load();

  QWidget* window = ChooseComments();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Comments");
  EXPECT_GE(window->width(), 104);
  EXPECT_GE(window->height(), 85);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_LE((window->frameGeometry().center() - ScreenCentre()).manhattanLength(), 2);

  // Two units of one name in different folders are told apart by position only.
  EXPECT_EQ(Listed(),
            (std::vector<std::string>{"Unit1.pas", "Unit1.pas", "lower.pas", "UPPER.PAS"}));
  EXPECT_EQ(Units()->currentIndex(), -1);

  // Choosing the command again rebuilds the list and clears the selection.
  Units()->setCurrentIndex(2);
  ASSERT_TRUE(host.RemoveUnit("/scrivlock-test/lower.pas"));
  EXPECT_EQ(ChooseComments(), window);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit1.pas", "UPPER.PAS"}));
  EXPECT_EQ(Units()->currentIndex(), -1);
}

TEST_F(PluginTest, LaysOutTwoPictureButtonsAboveAChoiceOnlyList) {
  OpenProject();
  Load();
  QWidget* window = ChooseComments();
  auto* un = FindChild<QPushButton>(window, "UnCommBtn");
  auto* re = FindChild<QPushButton>(window, "ReCommBtn");
  QComboBox* units = Units();
  ASSERT_TRUE(un && re && units);
  // The 96-dpi layout (4, 1, 97 x 25; 4, 26, 97 x 25; 6, 58, 95 x 21 in a
  // window of 104 x 85), grown where the platform's font needs more room.
  EXPECT_EQ(un->pos(), QPoint(4, 1));
  EXPECT_GE(un->width(), std::max(97, std::max(un->sizeHint().width(), re->sizeHint().width())));
  EXPECT_GE(un->height(), std::max(25, un->sizeHint().height()));
  EXPECT_EQ(re->geometry(), un->geometry().translated(0, un->height()));
  EXPECT_EQ(units->geometry(), QRect(6, re->geometry().bottom() + 8, un->width() - 2,
                                     std::max(21, units->sizeHint().height())));
  EXPECT_EQ(window->size(), QSize(un->width() + 7, units->geometry().bottom() + 7));
  EXPECT_EQ(un->text(), "Uncomment");
  EXPECT_EQ(re->text(), "Re-Comment");
  EXPECT_FALSE(units->isEditable());
  EXPECT_EQ(window->font().pixelSize(), 11);
  EXPECT_NE(window->findChild<QObject*>("CipherTool1"), nullptr);

  // Tab order: Re-Comment, Uncomment, the list.
  EXPECT_EQ(re->nextInFocusChain(), un);
  EXPECT_EQ(un->nextInFocusChain(), units);

  for (QPushButton* button : {un, re}) {
    const QImage normal = button->icon().pixmap(16, QIcon::Normal).toImage();
    const QImage disabled = button->icon().pixmap(16, QIcon::Disabled).toImage();
    EXPECT_FALSE(normal.isNull()) << button->objectName().toStdString();
    EXPECT_NE(normal, disabled) << button->objectName().toStdString();
  }
  EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(PluginTest, ShowsTheHintOverTheWindowAndEveryControl) {
  OpenProject();
  Load();
  QWidget* window = ChooseComments();
  ASSERT_NE(window, nullptr);
  for (const char* name : {"Comments", "UnCommBtn", "ReCommBtn", "CBUnits"}) {
    QWidget* widget = std::string(name) == "Comments" ? window : FindChild<QWidget>(window, name);
    ASSERT_NE(widget, nullptr) << name;
    const QPoint at(2, 2);
    QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    EXPECT_EQ(QToolTip::text().toStdString(), kHint) << name;
    QToolTip::hideText();
  }
}

TEST_F(PluginTest, NotificationsBeforeTheFirstChoiceChangeNothing) {
  OpenProject();
  Load();
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  host.FireFileNotification(hostintf::fnAddedToProject, "/elsewhere/Stray.pas");
  ASSERT_TRUE(host.RemoveUnit(kUnit2));
  EXPECT_EQ(FindWindow("Comments"), nullptr);
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 0) << "no project attached without the window";

  ChooseComments();
  EXPECT_EQ(Listed(), std::vector<std::string>{"Unit1.pas"});
}

// One step of the project changing under the shown window, and the list after it.
struct TListStep {
  TFileNotification Code;
  const char* FileName;
  std::vector<std::string> Listed;
};

TEST_F(PluginTest, KeepsTheListInStepWithFilesAddedAndRemoved) {
  OpenProject();
  Load();
  ChooseComments();
  ASSERT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas"}));

  const TListStep steps[] = {
      // Any extension is listed, a second addition twice.
      {hostintf::fnAddedToProject,
       "/scrivlock-test/readme.txt",
       {"Unit1.pas", "Unit2.pas", "readme.txt"}},
      {hostintf::fnAddedToProject,
       "/scrivlock-test/Unit3.pas",
       {"Unit1.pas", "Unit2.pas", "readme.txt", "Unit3.pas"}},
      {hostintf::fnAddedToProject,
       "/scrivlock-test/Unit3.pas",
       {"Unit1.pas", "Unit2.pas", "readme.txt", "Unit3.pas", "Unit3.pas"}},
      // A removal that differs only in letter case removes the first entry.
      {hostintf::fnRemovedFromProject,
       "/SCRIVLOCK-TEST/unit3.PAS",
       {"Unit1.pas", "Unit2.pas", "readme.txt", "Unit3.pas"}},
      {hostintf::fnRemovedFromProject,
       "/scrivlock-test/UNIT1.PAS",
       {"Unit2.pas", "readme.txt", "Unit3.pas"}},
      // An unlisted file changes only the selection.
      {hostintf::fnRemovedFromProject,
       "/scrivlock-test/Unlisted.pas",
       {"Unit2.pas", "readme.txt", "Unit3.pas"}},
      // Other codes are not heard.
      {hostintf::fnFileOpened,
       "/scrivlock-test/Other.pas",
       {"Unit2.pas", "readme.txt", "Unit3.pas"}},
  };
  for (const TListStep& step : steps) {
    Units()->setCurrentIndex(0);
    host.FireFileNotification(step.Code, step.FileName);
    EXPECT_EQ(Listed(), step.Listed) << step.Code << " " << step.FileName;
    if (step.Code != hostintf::fnFileOpened) {
      EXPECT_EQ(Units()->currentIndex(), -1) << step.Code << " " << step.FileName;
    }
  }
}

TEST_F(PluginTest, AProjectOpenedWhileTheWindowExistsIsAttached) {
  OpenProject();
  Load();
  ChooseComments();

  // Nothing attached yet: the project's units are appended to the list as it is.
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  EXPECT_EQ(Listed(),
            (std::vector<std::string>{"Unit1.pas", "Unit2.pas", "Unit1.pas", "Unit2.pas"}));
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 1);

  // Attached: the former project is detached (its list emptied) first.
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas"}));
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 1);

  // Another project: closing this one detaches it and hides the window.
  const std::string other = "/scrivlock-test/other/Other.dpr";
  host.OpenProject(other);
  EXPECT_FALSE(FindWindow("Comments")->isVisible());
  EXPECT_EQ(host.ModuleNotifierCount(other), 1);
  EXPECT_EQ(Listed(), std::vector<std::string>{});
  ASSERT_TRUE(host.AddUnit("/scrivlock-test/other/Main.pas", kUnit2Text));
  EXPECT_EQ(Listed(), std::vector<std::string>{"Main.pas"});
}

TEST_F(PluginTest, ModuleDeletedHidesTheWindowEmptiesTheListAndDetaches) {
  OpenProject();
  Load();
  QWidget* window = ChooseComments();
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  ASSERT_EQ(host.ModuleNotifierCount(kProject), 1);

  host.FireModuleNotification(kProject, hostintf::ncModuleDeleted);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Listed(), std::vector<std::string>{});
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 0);

  EXPECT_EQ(ChooseComments(), window);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas"}));
}

class PluginRebuildTest : public PluginTest, public ::testing::WithParamInterface<TNotifyCode> {};

TEST_P(PluginRebuildTest, SavingOrRenamingTheProjectRebuildsTheListFromTheHost) {
  OpenProject();
  Load();
  ChooseComments();
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  host.FireFileNotification(hostintf::fnAddedToProject, "/elsewhere/Stray.pas");
  ASSERT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas", "Unit1.pas", "Unit2.pas",
                                                "Stray.pas"}));

  host.FireModuleNotification(kProject, GetParam());
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas"}));
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 1);
}

INSTANTIATE_TEST_SUITE_P(Codes, PluginRebuildTest,
                         ::testing::Values(hostintf::ncAfterSave, hostintf::ncModuleRenamed),
                         [](const auto& info) {
                           return std::string(
                               info.param == hostintf::ncAfterSave ? "AfterSave" : "ModuleRenamed");
                         });

TEST_F(PluginTest, ARenamedUnitIsListedUnderItsNewName) {
  OpenProject();
  Load();
  ChooseComments();
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  ASSERT_TRUE(host.RenameUnit(kUnit2, "/scrivlock-test/Renamed.pas"));
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Renamed.pas"}));
}

TEST_F(PluginTest, UncommentsAndReCommentsTheChosenUnitInItsBuffer) {
  OpenProject();
  Load();
  ChooseComments();
  Units()->setCurrentIndex(0);
  Click("UnCommBtn");

  const std::string module = "/scrivlock-test/Unit3.pas";
  const std::optional<std::string> stripped = host.Text(kUnit1);
  ASSERT_TRUE(stripped && host.HasBuffer(module));
  EXPECT_EQ(stripped->find("The first unit"), std::string::npos);
  EXPECT_NE(stripped->find("{#"), std::string::npos);
  EXPECT_NE(host.Text(module)->find("The first unit"), std::string::npos);
  EXPECT_TRUE(host.Modified(kUnit1));
  // The new module is listed, and the selection is gone with the refill.
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Unit1.pas", "Unit2.pas", "Unit3.pas"}));
  EXPECT_EQ(Units()->currentIndex(), -1);
  EXPECT_TRUE(FindChild<QPushButton>(FindWindow("Comments"), "UnCommBtn")->isEnabled());
  EXPECT_TRUE(FindChild<QPushButton>(FindWindow("Comments"), "ReCommBtn")->isEnabled());

  Units()->setCurrentIndex(0);
  Click("ReCommBtn");
  EXPECT_EQ(host.Text(kUnit1), kUnit1Text);
  EXPECT_TRUE(host.Closed(module));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

// A click and the message box it must bring.
struct TRefusalCase {
  const char* Name;
  int Selected;  // index chosen before the click, -1 for none
  const char* Button;
  bool UncommentFirst;
};
void PrintTo(const TRefusalCase& c, std::ostream* out) {
  *out << c.Name;
}

class PluginRefusalTest : public PluginTest, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(PluginRefusalTest, RefusesInAPlainBoxCentredOnTheScreen) {
  const TRefusalCase& c = GetParam();
  OpenProject();
  Load();
  ChooseComments();
  if (c.UncommentFirst) {
    Units()->setCurrentIndex(0);
    Click("UnCommBtn");
  }
  Units()->setCurrentIndex(c.Selected);
  boxes.Clear();
  Click(c.Button);

  std::string expected;
  if (c.Selected < 0)
    expected = commands::MsgSelectUnit;
  else if (c.UncommentFirst)
    expected = commands::MsgAlreadyUncommented(kUnit1, "/scrivlock-test/Unit3.pas");
  else
    expected = commands::MsgNoModule(kUnit2);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const testing::TShownBox& box = boxes.Boxes()[0];
  EXPECT_EQ(box.Text, AsShown(expected));
  EXPECT_EQ(box.Name, "ScrivlockMessage");
  EXPECT_EQ(box.Icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_LE((box.Frame.center() - ScreenCentre()).manhattanLength(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, PluginRefusalTest,
    ::testing::Values(TRefusalCase{"UncommentWithNothingChosen", -1, "UnCommBtn", false},
                      TRefusalCase{"ReCommentWithNothingChosen", -1, "ReCommBtn", false},
                      TRefusalCase{"UncommentTwice", 0, "UnCommBtn", true},
                      TRefusalCase{"ReCommentWithoutModule", 1, "ReCommBtn", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PluginTest, ClosingTheWindowOnlyHidesIt) {
  OpenProject();
  Load();
  QWidget* window = ChooseComments();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(FindWindow("Comments"), window);
  EXPECT_EQ(ChooseComments(), window);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(PluginTest, ReleasingTheExpertDetachesTheProjectAndDestroysTheWindow) {
  OpenProject();
  Load();
  ChooseComments();
  host.FireFileNotification(hostintf::fnProjectOpened, kProject);
  ASSERT_EQ(host.ModuleNotifierCount(kProject), 1);

  host.UnloadExperts();
  EXPECT_EQ(host.ModuleNotifierCount(kProject), 0);
  EXPECT_EQ(FindWindow("Comments"), nullptr);
  // The project goes on without the plug-in.
  host.FireModuleNotification(kProject, hostintf::ncAfterSave);
  host.CloseProject();
}

TEST_F(PluginTest, TheHostsMainWindowOwnsTheWindowAndItsBoxes) {
  QWidget mainWindow;
  mainWindow.setGeometry(0, 0, 200, 150);
  mainWindow.show();
  host.SetParentHandle(static_cast<intptr_t>(mainWindow.winId()));
  OpenProject();
  Load();
  QWidget* window = ChooseComments();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parentWidget(), &mainWindow);

  Click("UnCommBtn");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Parent, &mainWindow);
  EXPECT_LE((boxes.Boxes()[0].Frame.center() - ScreenCentre()).manhattanLength(), 2)
      << "centred on the screen, not on its owner";
  // The host may destroy its main window (and with it the Comments window)
  // before it releases the expert.
}

}  // namespace
}  // namespace scrivlock
