// The IDE's editor on a file: the file's bytes kept whatever they are (an edit
// elsewhere saves every other byte unchanged), the file's line breaks kept,
// how the bytes are shown said in the status bar, and what a Pascal
// programmer edits with: highlighting the host interface can switch off,
// undo, find and replace, go to line, the Edit menu and tab markers.
#include <QKeySequence>
#include <QLineEdit>
#include <QTest>

#include "IdeTestSupport.h"
#include "hostintf/InterfacePtr.h"
#include "hosts/ide/FindBar.h"

namespace scrivlock::hosts::ide::testing {
namespace {

using hostintf::TIEditorInterface;
using hostintf::TIModuleInterface;
using hostintf::TInterfacePtr;

struct TEncodingRow {
  const char* Name;
  QByteArray Bytes;
  TTextEncoding Encoding;
};

const TEncodingRow kEncodings[] = {
    {"Ascii", "unit A; { plain }", teUtf8},
    {"Utf8", "{ \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 }", teUtf8},
    {"Latin1", "{ \xe9t\xe9 }", teLatin1},
    {"Windows1252", "{ \x80 \x93quoted\x94 }", teLatin1},
    {"Overlong", "{ \xc0\x80 }", teLatin1},
    {"Surrogate", "{ \xed\xa0\x80 }", teLatin1},
    {"PastUnicode", "{ \xf4\x90\x80\x80 }", teLatin1},
    {"CutShortAtTheEnd", "{ } \xe2\x82", teLatin1},
    {"AContinuationAlone", "abcdefgh\x80", teLatin1},
};

TEST(IdeEditorEncodingTest, ValidUtf8IsShownAsUtf8AndAnythingElseAsLatin1) {
  for (const TEncodingRow& row : kEncodings) {
    EXPECT_EQ(EncodingOf(std::string_view(row.Bytes.data(), row.Bytes.size())), row.Encoding)
        << row.Name;
  }
}

struct TBytesRow {
  const char* Name;
  QByteArray Bytes;  // the file
  int Line;          // where "X" is typed, at the line's start (from 0)
  QByteArray Saved;  // the file afterwards
  const char* Encoding;
  const char* LineBreaks;
};

const TBytesRow kBytes[] = {
    {"Latin1CrLf", "{ \xe9t\xe9 }\r\nbegin\r\nend.\r\n", 1, "{ \xe9t\xe9 }\r\nXbegin\r\nend.\r\n",
     "Latin-1", "CR LF"},
    {"Windows1252Lf",
     "{ \x93"
     "caf\xe9\x94 \x80 }\nbegin end.\n",
     1,
     "{ \x93"
     "caf\xe9\x94 \x80 }\nXbegin end.\n",
     "Latin-1", "LF"},
    {"Utf8Lf", "{ \xc3\xa9t\xc3\xa9 }\nbegin end.\n", 1, "{ \xc3\xa9t\xc3\xa9 }\nXbegin end.\n",
     "UTF-8", "LF"},
    {"Utf8WithABadByte", "{ \xc3\xa9 \xff }\r\nbegin end.", 0, "X{ \xc3\xa9 \xff }\r\nbegin end.",
     "Latin-1", "CR LF"},
    {"MixedLineBreaks", "a\r\nb\nc\rd", 2, "a\r\nb\nXc\rd", "UTF-8", "Mixed"},
    {"NoLineBreak", "end.", 0, "Xend.", "UTF-8", "CR LF"},
    {"AZeroByte", QByteArray("a\0b\r\nc", 6), 1, QByteArray("a\0b\r\nXc", 7), "UTF-8", "CR LF"},
};

void PrintTo(const TBytesRow& row, std::ostream* os) {
  *os << row.Name;
}

class IdeEditorBytesTest : public TIdeFixture, public ::testing::WithParamInterface<TBytesRow> {};

TEST_P(IdeEditorBytesTest, AnEditElsewhereSavesEveryOtherByteUnchanged) {
  const TBytesRow& row = GetParam();
  Write("Main.pas", row.Bytes);
  Start(QString());
  TIdeEditor* editor = OpenEditor("Main.pas");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(Text("Main.pas"), row.Bytes) << "the host interface reads the file's bytes";
  EXPECT_EQ(StatusField("StatusEncoding"), row.Encoding);
  EXPECT_EQ(StatusField("StatusLineBreaks"), row.LineBreaks);
  editor->setCursorPosition(row.Line, 0);
  QTest::keyClick(editor, 'X');
  EXPECT_EQ(TabTitle("Main.pas"), "Main.pas*");
  ASSERT_TRUE(Services().Save(Buffer("Main.pas")));
  EXPECT_EQ(Disk("Main.pas"), row.Saved);
  EXPECT_EQ(TabTitle("Main.pas"), "Main.pas");
}

INSTANTIATE_TEST_SUITE_P(Files, IdeEditorBytesTest, ::testing::ValuesIn(kBytes),
                         [](const auto& info) { return std::string(info.param.Name); });

class IdeEditorTest : public TIdeFixture {
 protected:
  TIdeEditor* Open(const QByteArray& bytes) {
    Write("Main.pas", bytes);
    Start(QString());
    return OpenEditor("Main.pas");
  }
  void Trigger(const char* action) {
    auto* found = FIde->findChild<QAction*>(QString::fromLatin1(action));
    ASSERT_NE(found, nullptr) << action;
    found->trigger();
  }
};

TEST_F(IdeEditorTest, ANewLineBreaksAsTheFileDoes) {
  for (const QByteArray& eol : {QByteArray("\n"), QByteArray("\r\n")}) {
    TIdeEditor* editor = Open("begin" + eol + "end." + eol);
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0, 5);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(Services().Save(Buffer("Main.pas")));
    EXPECT_EQ(Disk("Main.pas"), "begin" + eol + eol + "end." + eol);
    FIde->SetInteractive(false);
    FIde->close();
  }
}

TEST_F(IdeEditorTest, TheHostInterfaceSwitchesHighlightingOffForOneBuffer) {
  Write("Other.pas", "unit Other; end.");
  TIdeEditor* editor = Open("unit Main; end.");
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->Highlighting());
  TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface(Path("Main.pas")));
  ASSERT_TRUE(module);
  TInterfacePtr<TIEditorInterface> buffer(module->GetEditorInterface());
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->SetSyntaxHighlighter(hostintf::shNone), hostintf::shPascal);
  EXPECT_FALSE(editor->Highlighting());
  EXPECT_TRUE(OpenEditor("Other.pas")->Highlighting());
  EXPECT_EQ(buffer->SetSyntaxHighlighter(hostintf::shPascal), hostintf::shNone);
  EXPECT_TRUE(editor->Highlighting());
}

TEST_F(IdeEditorTest, UndoRedoAndTheTabsMarker) {
  TIdeEditor* editor = Open("begin end.");
  ASSERT_NE(editor, nullptr);
  editor->setCursorPosition(0, 0);
  editor->insert("x := 1; ");
  EXPECT_EQ(TabTitle("Main.pas"), "Main.pas*");
  Trigger("EditUndoItem");
  EXPECT_EQ(Text("Main.pas"), "begin end.");
  EXPECT_EQ(TabTitle("Main.pas"), "Main.pas") << "back where it was saved";
  Trigger("EditRedoItem");
  EXPECT_EQ(Text("Main.pas"), "x := 1; begin end.");
  EXPECT_EQ(TabTitle("Main.pas"), "Main.pas*");
}

TEST_F(IdeEditorTest, FindsAndReplaces) {
  TIdeEditor* editor = Open("a := Count;\r\nCount := a + count;\r\nDiscount := 0;\r\n");
  ASSERT_NE(editor, nullptr);
  Trigger("EditReplaceItem");
  TFindBar* bar = FIde->FindBar();
  EXPECT_TRUE(bar->isVisible());
  bar->FindField()->setText("Count");
  bar->ReplaceField()->setText("Total");
  ASSERT_TRUE(bar->FindNext());
  EXPECT_EQ(editor->selectedText(), "Count");
  int line = -1, index = -1;
  editor->getCursorPosition(&line, &index);
  EXPECT_EQ(line, 0);
  ASSERT_TRUE(bar->ReplaceNext());
  EXPECT_TRUE(Text("Main.pas").startsWith("a := Total;"));
  EXPECT_EQ(bar->ReplaceAll(), 3) << "Count, count and the count of Discount";
  EXPECT_EQ(Text("Main.pas"), "a := Total;\r\nTotal := a + Total;\r\nDisTotal := 0;\r\n");
  Trigger("EditUndoItem");
  EXPECT_EQ(Text("Main.pas"), "a := Total;\r\nCount := a + count;\r\nDiscount := 0;\r\n")
      << "Replace All is one step to undo";
  bar->FindField()->setText("nowhere");
  EXPECT_FALSE(bar->FindNext());
}

TEST_F(IdeEditorTest, GoesToALineAndSaysWhereTheCursorIs) {
  TIdeEditor* editor = Open("one\r\ntwo\r\n\tthree\r\nfour\r\n");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(StatusField("StatusPosition"), "Ln 1, Col 1");
  editor->GoToLine(3);
  QTest::keyClick(editor, Qt::Key_End);
  QTest::qWait(10);  // the editor tells of the cursor when it has settled
  EXPECT_EQ(StatusField("StatusPosition"), "Ln 3, Col 8") << "a tab is two columns";
  editor->GoToLine(99);
  int line = -1, index = -1;
  editor->getCursorPosition(&line, &index);
  EXPECT_EQ(line, 4) << "the last line";
}

TEST_F(IdeEditorTest, TheEditMenuHasTheUsualShortcuts) {
  ASSERT_NE(Open("begin end."), nullptr);
  const struct {
    const char* Action;
    QKeySequence Keys;
  } kShortcuts[] = {
      {"EditUndoItem", QKeySequence::Undo},       {"EditRedoItem", QKeySequence::Redo},
      {"EditCutItem", QKeySequence::Cut},         {"EditCopyItem", QKeySequence::Copy},
      {"EditPasteItem", QKeySequence::Paste},     {"EditSelectAllItem", QKeySequence::SelectAll},
      {"EditFindItem", QKeySequence::Find},       {"EditFindNextItem", QKeySequence::FindNext},
      {"EditReplaceItem", QKeySequence::Replace}, {"EditGoToLineItem", QKeySequence("Ctrl+G")},
  };
  for (const auto& shortcut : kShortcuts) {
    auto* action = FIde->findChild<QAction*>(QString::fromLatin1(shortcut.Action));
    ASSERT_NE(action, nullptr) << shortcut.Action;
    EXPECT_EQ(action->shortcut(), shortcut.Keys) << shortcut.Action;
  }
}

}  // namespace
}  // namespace scrivlock::hosts::ide::testing
