// The plug-in in the Qt IDE host, on a copy of the example project, as a user
// works with it: open the project, View > Comments..., Uncomment, Save All,
// Re-Comment, Save All, quit; what the tabs and buffers hold and what is on
// disk at each step, and that the project still builds.
#include <QProcess>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <functional>

#include "IdeTestSupport.h"

namespace scrivlock::hosts::ide::testing {
namespace {

// The first comment of each unit of the example, which must be somewhere on
// disk at every moment.
const char kGreeterComment[] = "Greeter: says hello.";
const char kMathUtilComment[] = "Small arithmetic helpers.";

QByteArray ToLf(QByteArray bytes) {
  return bytes.replace("\r\n", "\n");
}

// A copy of the example, changed as a row says.
struct TRoundTripRow {
  const char* Name;
  QString Unit;  // the unit that goes round
  const char* Comment;
  std::function<void(QByteArray& project, QByteArray& greeter, QByteArray& mathUtil)> Change;
  const char* Encoding;    // as the status bar shows the unit
  const char* LineBreaks;  // ditto
};

const TRoundTripRow kRoundTrips[] = {
    {"TheExampleAsItIs", QStringLiteral("Greeter.pas"), kGreeterComment,
     [](QByteArray&, QByteArray&, QByteArray&) {}, "UTF-8", "CR LF"},
    // Latin-1 bytes in comments, in a string and in a marker-like text; the
    // project file breaks its lines with LF.
    {"ALatin1UnitInAnLfProject", QStringLiteral("Greeter.pas"), kGreeterComment,
     [](QByteArray& project, QByteArray& greeter, QByteArray&) {
       project = ToLf(project);
       greeter.replace("says hello.",
                       "says hello. Gr\xfc\xdf"
                       "e, \xe9t\xe9.");
       greeter.replace("'Hello, '", "'Ol\xe1, '");
       greeter.replace("// Writes a greeting", "// \xa9 1998 \x80 Writes a greeting");
     },
     "Latin-1", "CR LF"},
    // A project file whose comment speaks of what it uses, before the clause.
    {"AProjectSayingUsesInAComment", QStringLiteral("Greeter.pas"), kGreeterComment,
     [](QByteArray& project, QByteArray&, QByteArray&) {
       project.replace("{ A small console program for trying scrivlock on. }",
                       "{ A small console program; it uses Greeter; and MathUtil. }");
     },
     "UTF-8", "CR LF"},
    // A unit with LF line breaks and UTF-8 in its comments.
    {"AnLfUnitWithUtf8", QStringLiteral("MathUtil.pas"), kMathUtilComment,
     [](QByteArray&, QByteArray&, QByteArray& mathUtil) {
       mathUtil = ToLf(mathUtil);
       mathUtil.replace("for speed", "for speed \xe2\x80\x94 \xc3\xa9t\xc3\xa9");
     },
     "UTF-8", "LF"},
};

void PrintTo(const TRoundTripRow& row, std::ostream* os) {
  *os << row.Name;
}

class IdeRoundTripTest : public TIdeFixture, public ::testing::WithParamInterface<TRoundTripRow> {
 protected:
  void Prepare() {
    CopyExample();
    QByteArray project = Disk("Demo.dpr"), greeter = Disk("Greeter.pas"),
               mathUtil = Disk("MathUtil.pas");
    GetParam().Change(project, greeter, mathUtil);
    Write("Demo.dpr", project);
    Write("Greeter.pas", greeter);
    Write("MathUtil.pas", mathUtil);
    for (const char* name : {"Demo.dpr", "Greeter.pas", "MathUtil.pas"})
      FOriginal[name] = Disk(name);
  }
  // Every file as it was, and no other.
  void ExpectOriginalFiles() {
    for (auto it = FOriginal.begin(); it != FOriginal.end(); ++it)
      EXPECT_EQ(Disk(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(QDir(FFolder.path()).entryList(QDir::Files).size(), FOriginal.size());
  }
  void ExpectBuilds() {
    QString output;
    const std::optional<bool> built = BuildsWithFpc(FFolder.filePath("Demo.dpr"), &output);
    if (!built) {
      std::printf("fpc is not installed: the project's build is not checked\n");
      return;
    }
    EXPECT_TRUE(*built && output.contains("Linking")) << output.toStdString();
  }

  QMap<QString, QByteArray> FOriginal;
};

TEST_P(IdeRoundTripTest, GivesEveryFileBackAndTheProjectBuilds) {
  const TRoundTripRow& row = GetParam();
  const QString unit = row.Unit;
  Prepare();
  Start();
  ASSERT_NE(ShowComments(), nullptr);
  ASSERT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas"}));
  ASSERT_NE(OpenEditor(unit), nullptr);
  EXPECT_EQ(StatusField("StatusEncoding"), row.Encoding);
  EXPECT_EQ(StatusField("StatusLineBreaks"), row.LineBreaks);

  // Uncomment: the unit's tab holds the stripped text, a new tab the module;
  // both and the project file are modified, and nothing is on disk yet.
  Run(unit, "UnCommBtn");
  const QByteArray stripped = Text(unit);
  EXPECT_FALSE(stripped.contains(row.Comment));
  EXPECT_TRUE(stripped.contains("{#1}"));
  EXPECT_TRUE(Text("Unit1.pas").contains(row.Comment));
  EXPECT_EQ(TabTitle(unit), unit + "*");
  EXPECT_EQ(TabTitle("Unit1.pas"), "Unit1.pas*");
  EXPECT_FALSE(Buffer("Unit1.pas")->Editor->Highlighting()) << "the module has no highlighting";
  EXPECT_TRUE(Buffer(unit)->Editor->Highlighting());
  EXPECT_EQ(Buffer("Unit1.pas")->Editor, FIde->CurrentEditor()) << "the module's tab is shown";
  EXPECT_TRUE(Text("Demo.dpr").contains(QByteArray("Unit1 in 'Unit1.pas'")));
  EXPECT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas", "Unit1.pas"}));
  ExpectOriginalFiles();

  // Save All: the three files on disk, each as its buffer holds it.
  ASSERT_TRUE(FIde->SaveAll());
  EXPECT_EQ(Disk(unit), stripped);
  EXPECT_EQ(Disk("Unit1.pas"), Text("Unit1.pas"));
  EXPECT_EQ(Disk("Demo.dpr"), Text("Demo.dpr"));
  EXPECT_EQ(TabTitle(unit), unit);
  const QByteArray eol = FOriginal["Demo.dpr"].contains("\r\n") ? "\r\n" : "\n";
  EXPECT_TRUE(Disk("Demo.dpr").contains("," + eol + "  Unit1 in 'Unit1.pas';"))
      << "a line of the project's own line break";
  ExpectBuilds();

  // Re-Comment: the unit's buffer is whole again, the module has left the
  // project, but its file stays until the unit is saved.
  Run(unit, "ReCommBtn");
  EXPECT_EQ(Text(unit), FOriginal[unit]);
  EXPECT_TRUE(TabTitle("Unit1.pas").isEmpty()) << "the module's tab is closed";
  EXPECT_EQ(Services().GetUnitCount(), 3) << "the project and its two units";
  EXPECT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas"}));
  EXPECT_EQ(Text("Demo.dpr"), FOriginal["Demo.dpr"]);
  EXPECT_EQ(Disk(unit), stripped);
  EXPECT_TRUE(Disk("Unit1.pas").contains(row.Comment)) << "the comments are on disk";

  // Save All: every file as it was.
  ASSERT_TRUE(FIde->SaveAll());
  ExpectOriginalFiles();
  ExpectBuilds();

  // Quit: nothing is asked.
  EXPECT_TRUE(FIde->close());
  EXPECT_TRUE(FBoxes.Shown().empty());
  EXPECT_EQ(Comments(), nullptr) << "the plug-in's window went with it";
}

INSTANTIATE_TEST_SUITE_P(Projects, IdeRoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.Name); });

class IdeHostTest : public TIdeFixture {
 protected:
  // Uncomment Greeter.pas, Save All, Re-Comment it: the comments are in the
  // buffer, and on disk only in the module.
  void UncommentSaveAndReComment() {
    CopyExample();
    FOriginalGreeter = Disk("Greeter.pas");
    FOriginalProject = Disk("Demo.dpr");
    Start();
    ASSERT_NE(ShowComments(), nullptr);
    Run("Greeter.pas", "UnCommBtn");
    ASSERT_TRUE(FIde->SaveAll());
    Run("Greeter.pas", "ReCommBtn");
    ASSERT_EQ(Text("Greeter.pas"), FOriginalGreeter);
  }

  QByteArray FOriginalGreeter;
  QByteArray FOriginalProject;
};

// Discarding the restored unit on leaving keeps the comments in the module,
// which is still in the project on disk: the next session puts them back.
TEST_F(IdeHostTest, DiscardingAReCommentOnLeavingKeepsTheComments) {
  UncommentSaveAndReComment();
  FBoxes.UnsavedAnswer = QMessageBox::Discard;
  EXPECT_TRUE(FIde->close());
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  const std::string said = FBoxes.Shown()[0].Informative;
  EXPECT_NE(said.find("Greeter.pas"), std::string::npos) << said;
  EXPECT_NE(said.find("Discard keeps Unit1.pas and its comments"), std::string::npos) << said;
  FIde.reset();
  EXPECT_TRUE(Disk("Unit1.pas").contains(kGreeterComment));
  EXPECT_FALSE(Disk("Greeter.pas").contains(kGreeterComment));
  EXPECT_TRUE(Disk("Demo.dpr").contains("Unit1 in 'Unit1.pas'"));

  Start();
  ASSERT_NE(ShowComments(), nullptr);
  EXPECT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas", "Unit1.pas"}));
  Run("Greeter.pas", "ReCommBtn");
  ASSERT_TRUE(FIde->SaveAll());
  EXPECT_EQ(Disk("Greeter.pas"), FOriginalGreeter);
  EXPECT_EQ(Disk("Demo.dpr"), FOriginalProject);
  EXPECT_FALSE(OnDisk("Unit1.pas"));
}

// Saving the unit alone is not enough: the module's file goes once the
// project file that no longer names it is saved too.
TEST_F(IdeHostTest, TheModulesFileGoesWhenTheUnitAndTheProjectAreSaved) {
  UncommentSaveAndReComment();
  ASSERT_TRUE(Services().Save(Buffer("Greeter.pas")));
  EXPECT_EQ(Disk("Greeter.pas"), FOriginalGreeter);
  EXPECT_TRUE(OnDisk("Unit1.pas")) << "the project file on disk still names it";
  FBoxes.UnsavedAnswer = QMessageBox::Cancel;
  EXPECT_FALSE(FIde->close());
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_NE(FBoxes.Shown()[0].Informative.find("Greeter.pas has its comments back on disk"),
            std::string::npos)
      << FBoxes.Shown()[0].Informative;
  ASSERT_TRUE(Services().Save(Buffer("Demo.dpr")));
  EXPECT_FALSE(OnDisk("Unit1.pas"));
  EXPECT_EQ(Disk("Demo.dpr"), FOriginalProject);
}

// The restoration undone in the editor and saved so: the comments are still
// only in the module, which stays and comes back into the project.
TEST_F(IdeHostTest, AReCommentUndoneKeepsTheModule) {
  UncommentSaveAndReComment();
  TIdeEditor* greeter = OpenEditor("Greeter.pas");
  ASSERT_NE(greeter, nullptr);
  FIde->findChild<QAction*>(QStringLiteral("EditUndoItem"))->trigger();
  EXPECT_NE(Text("Greeter.pas"), FOriginalGreeter);
  ASSERT_TRUE(Services().Save(Buffer("Greeter.pas")));
  ASSERT_TRUE(FIde->SaveAll());
  EXPECT_TRUE(Disk("Unit1.pas").contains(kGreeterComment));
  EXPECT_TRUE(Disk("Demo.dpr").contains("Unit1 in 'Unit1.pas'"));
  EXPECT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas", "Unit1.pas"}));
}

// The IDE as a process of its own, killed right after Re-Comment (as by a
// crash or a power cut): every comment is on disk, in the unit or the module.
TEST_F(IdeHostTest, ACrashRightAfterReCommentKeepsTheComments) {
  CopyExample();
  QProcess ide;
  ide.start(QStringLiteral(SCRIVLOCK_IDE_DRIVER),
            {QStringLiteral(SCRIVLOCK_PLUGIN), FFolder.filePath("Demo.dpr"), "comments", "choose",
             "Greeter.pas", "uncomment", "saveall", "choose", "Greeter.pas", "recomment", "ready"});
  ASSERT_TRUE(ide.waitForStarted());
  QByteArray said;
  while (!said.contains("ready") && ide.waitForReadyRead(30000))
    said += ide.readAllStandardOutput();
  ASSERT_TRUE(said.contains("ready")) << ide.readAllStandardError().toStdString();
  ide.kill();
  ide.waitForFinished();

  const QByteArray onDisk = Disk("Greeter.pas") + Disk("Unit1.pas");
  for (const char* comment :
       {kGreeterComment, "This brace comment spans two lines.", "Writes a greeting for Name",
        "only needed for tracing", "The text below looks like comments"}) {
    EXPECT_TRUE(onDisk.contains(comment)) << comment;
  }
}

// The plug-in's window opens beside the editor, not over the code, and keeps
// its place; what its controls' status tips say shows in the IDE's status bar.
TEST_F(IdeHostTest, TheCommentsWindowOpensBesideTheEditor) {
  CopyExample();
  const struct {
    const char* Name;
    QRect Main;
  } kPlaces[] = {
      {"room on the right", QRect(0, 0, 480, 400)},
      {"no room beside it", QRect(0, 0, 800, 600)},
  };
  for (const auto& place : kPlaces) {
    SCOPED_TRACE(place.Name);
    Start();
    FIde->setGeometry(place.Main);
    ASSERT_NE(OpenEditor("Greeter.pas"), nullptr);
    QWidget* comments = ShowComments();
    ASSERT_NE(comments, nullptr);
    QTest::qWait(20);
    const QRect code(FIde->CurrentEditor()->mapToGlobal(QPoint(0, 0)),
                     FIde->CurrentEditor()->size());
    const QRect frame = comments->frameGeometry();
    EXPECT_FALSE(frame.intersects(code)) << "at " << frame.x() << "," << frame.y();
    EXPECT_TRUE(FIde->screen()->availableGeometry().contains(frame));
    comments->hide();
    ShowComments();
    QTest::qWait(20);
    EXPECT_EQ(comments->frameGeometry(), frame) << "it keeps its place";

    auto* button = comments->findChild<QPushButton*>(QStringLiteral("UnCommBtn"));
    QStatusTipEvent tip(QStringLiteral("Takes the comments out"));
    QApplication::sendEvent(button, &tip);
    EXPECT_EQ(FIde->statusBar()->currentMessage(), "Takes the comments out");
    FIde->SetInteractive(false);
    FIde->close();
  }
}

// The list selects the active editor's unit when the window opens and when
// the tab changes; the buttons answer Alt+U and Alt+R, and Escape leaves.
TEST_F(IdeHostTest, TheCommentsWindowFollowsTheActiveEditorAndTheKeyboard) {
  CopyExample();
  const QByteArray original = Disk("Greeter.pas");
  Start();
  ASSERT_NE(OpenEditor("MathUtil.pas"), nullptr);
  QWidget* comments = ShowComments();
  ASSERT_NE(comments, nullptr);
  EXPECT_EQ(UnitList()->currentText(), "MathUtil.pas");
  ASSERT_NE(OpenEditor("Greeter.pas"), nullptr);
  EXPECT_EQ(UnitList()->currentText(), "Greeter.pas");
  ASSERT_NE(OpenEditor("Demo.dpr"), nullptr);
  EXPECT_EQ(UnitList()->currentText(), "Greeter.pas") << "a file not listed changes nothing";
  EXPECT_EQ(Listed(), (QStringList{"Greeter.pas", "MathUtil.pas"}));

  // A button's accelerator clicks it the way a click looks: pressed a moment.
  const auto press = [&](Qt::Key key, const std::function<bool()>& done) {
    comments->activateWindow();
    if (!QTest::qWaitForWindowActive(comments)) return false;
    QTest::keyClick(comments, key, Qt::AltModifier);
    for (int waited = 0; !done() && waited < 2000; waited += 20) QTest::qWait(20);
    return done();
  };
  EXPECT_TRUE(press(Qt::Key_U, [&] { return TabTitle("Unit1.pas") == "Unit1.pas*"; }))
      << "Alt+U uncomments Greeter.pas";
  ASSERT_NE(OpenEditor("Greeter.pas"), nullptr);
  EXPECT_TRUE(press(Qt::Key_R, [&] { return Text("Greeter.pas") == original; }))
      << "Alt+R re-comments it";
  QTest::keyClick(comments, Qt::Key_Escape);
  EXPECT_FALSE(comments->isVisible());
  for (QPushButton* button : comments->findChildren<QPushButton*>())
    EXPECT_FALSE(button->statusTip().isEmpty()) << button->objectName().toStdString();
}

}  // namespace
}  // namespace scrivlock::hosts::ide::testing
