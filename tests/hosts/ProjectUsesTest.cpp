// The uses clause of a project file: read past comments, directives and
// strings; an entry added in the file's own line breaks; and its removal giving
// the file back byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hosts/common/ProjectUses.h"

namespace scrivlock::hosts {
namespace {

using TNames = std::vector<std::pair<std::string, std::string>>;  // unit, file

TNames NamesOf(const TProjectUses& uses) {
  TNames names;
  for (const TUsesEntry& entry : uses.Entries) names.emplace_back(entry.Unit, entry.InFile);
  return names;
}

struct TReadRow {
  const char* Name;
  std::string Text;
  bool Readable;
  bool HasClause;
  TNames Entries;
};

const TReadRow kReadRows[] = {
    {"UsesInCommentsAndDirectives",
     "program P;\r\n{ uses X; }\r\n// uses Y;\r\n(* uses Z; *)\r\n{$DEFINE uses}\r\n"
     "uses A in 'a.pas';\r\nbegin end.",
     true,
     true,
     {{"A", "a.pas"}}},
    {"SeparatorsInStrings",
     "program P; uses A in 'a;b,c.pas', B in 'it''s.pas'; begin end.",
     true,
     true,
     {{"A", "a;b,c.pas"}, {"B", "it's.pas"}}},
    {"DirectivesBetweenEntries",
     "program P;\n{$mode objfpc}\nuses\n  {$IFDEF UNIX}cthreads,{$ENDIF}\n  Classes, (* x, y; *) "
     "Main;\n"
     "begin end.",
     true,
     true,
     {{"cthreads", ""}, {"Classes", ""}, {"Main", ""}}},
    {"DottedNames",
     "library L; uses System.SysUtils, Vcl . Forms in 'f.pas'; begin end.",
     true,
     true,
     {{"System.SysUtils", ""}, {"Vcl.Forms", "f.pas"}}},
    {"HeadingWithParameters",
     "program P(input, output); uses A; begin end.",
     true,
     true,
     {{"A", ""}}},
    {"NoClause", "program P;\r\n\r\nbegin\r\nend.\r\n", true, false, {}},
    {"NoHeading", "uses A, B;\nbegin end.", true, true, {{"A", ""}, {"B", ""}}},
    {"AUnitIsNoProject", "unit U;\r\ninterface\r\nuses A;\r\nend.", false, false, {}},
    {"AClauseWithoutEnd", "program P;\r\nuses A, B", false, false, {}},
    {"AClauseWithoutNames", "program P;\r\nuses ;\r\nbegin end.", false, false, {}},
    {"AnUnclosedString", "program P; uses A in 'a.pas;\r\nbegin end.", false, false, {}},
    {"AHeadingWithoutEnd", "program P", false, false, {}},
    {"NothingAfterTheHeading", "program P; { all the rest", false, false, {}},
    {"Empty", "", false, false, {}},
};

void PrintTo(const TReadRow& row, std::ostream* os) {
  *os << row.Name;
}

class ProjectUsesReadTest : public ::testing::TestWithParam<TReadRow> {};

TEST_P(ProjectUsesReadTest, FindsTheClauseByPascalsOwnRules) {
  const TReadRow& row = GetParam();
  const TProjectUses uses = ReadProjectUses(row.Text);
  EXPECT_EQ(uses.Readable, row.Readable);
  EXPECT_EQ(uses.HasClause, row.HasClause);
  if (!row.Readable) return;
  EXPECT_EQ(NamesOf(uses), row.Entries);
  if (!row.HasClause) return;
  EXPECT_EQ(row.Text.substr(uses.ClauseStart, 4), "uses");
  EXPECT_EQ(row.Text[uses.ClauseStop], ';');
  for (const TUsesEntry& entry : uses.Entries) {
    const std::string_view text = row.Text;
    EXPECT_TRUE(text.substr(entry.Start).starts_with(entry.Unit.substr(0, entry.Unit.find('.'))))
        << entry.Unit;
    if (!entry.InFile.empty()) {
      EXPECT_EQ(text[entry.Stop - 1], '\'') << entry.Unit;
    }
    if (entry.Comma != 0) {
      EXPECT_EQ(text[entry.Comma], ',') << entry.Unit;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ProjectUsesReadTest, ::testing::ValuesIn(kReadRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ProjectUsesTest, ReadsTheExampleProject) {
  std::ifstream in(SCRIVLOCK_EXAMPLE "/Demo.dpr", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const TProjectUses uses = ReadProjectUses(text);
  ASSERT_TRUE(uses.Readable);
  EXPECT_EQ(NamesOf(uses), (TNames{{"Greeter", "Greeter.pas"}, {"MathUtil", "MathUtil.pas"}}));
}

struct TAddRow {
  const char* Name;
  std::string Text;
  std::string Added;  // with "Unit1 in 'Unit1.pas'" added
};

const TAddRow kAddRows[] = {
    {"AtTheEndOfTheClause",
     "program Demo;\r\n\r\nuses\r\n  Greeter in 'Greeter.pas',\r\n  MathUtil in 'MathUtil.pas';\r\n"
     "\r\nbegin\r\nend.\r\n",
     "program Demo;\r\n\r\nuses\r\n  Greeter in 'Greeter.pas',\r\n  MathUtil in 'MathUtil.pas',\r\n"
     "  Unit1 in 'Unit1.pas';\r\n\r\nbegin\r\nend.\r\n"},
    {"InTheFilesLineBreaks", "program Demo;\n\nuses\n  Greeter in 'Greeter.pas';\n\nbegin\nend.\n",
     "program Demo;\n\nuses\n  Greeter in 'Greeter.pas',\n  Unit1 in "
     "'Unit1.pas';\n\nbegin\nend.\n"},
    {"AfterACommentOfTheLastEntry",
     "program P;\r\nuses\r\n  Main in 'Main.pas' {MainForm};\r\nbegin end.",
     "program P;\r\nuses\r\n  Main in 'Main.pas' {MainForm},\r\n  Unit1 in 'Unit1.pas';\r\nbegin "
     "end."},
    {"NotAfterAUsesInAComment", "program P; { uses are below }\r\nuses A; begin end.",
     "program P; { uses are below }\r\nuses A,\r\n  Unit1 in 'Unit1.pas'; begin end."},
    {"ANewClauseAfterTheDirectives",
     "program P;\r\n\r\n{$APPTYPE CONSOLE}\r\n\r\nbegin\r\nend.\r\n",
     "program P;\r\n\r\n{$APPTYPE CONSOLE}\r\n\r\nuses\r\n  Unit1 in "
     "'Unit1.pas';\r\n\r\nbegin\r\nend.\r\n"},
    {"ANewClauseAfterALineComment", "program P; // the main program\nbegin\nend.\n",
     "program P; // the main program\nuses\n  Unit1 in 'Unit1.pas';\nbegin\nend.\n"},
    {"ANewClauseInAFileWithoutLineBreaks", "program P; begin end.",
     "program P;\r\n\r\nuses\r\n  Unit1 in 'Unit1.pas'; begin end."},
};

void PrintTo(const TAddRow& row, std::ostream* os) {
  *os << row.Name;
}

class ProjectUsesAddTest : public ::testing::TestWithParam<TAddRow> {};

TEST_P(ProjectUsesAddTest, AddsALineAndRemovingItGivesTheTextBack) {
  const TAddRow& row = GetParam();
  std::string text = row.Text;
  ASSERT_TRUE(AddUsesEntry(text, "Unit1", "Unit1.pas"));
  EXPECT_EQ(text, row.Added);
  EXPECT_FALSE(AddUsesEntry(text, "UNIT1", "Unit1.pas")) << "listed already";
  ASSERT_TRUE(RemoveUsesEntry(text, "unit1"));
  EXPECT_EQ(text, row.Text);
}

INSTANTIATE_TEST_SUITE_P(Texts, ProjectUsesAddTest, ::testing::ValuesIn(kAddRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ProjectUsesTest, RefusesToAddWhatWouldNotRead) {
  for (const char* unit : {"", "My Unit", "1st", "A..B", "A."}) {
    std::string text = "program P; begin end.";
    EXPECT_FALSE(AddUsesEntry(text, unit, "x.pas")) << unit;
    EXPECT_EQ(text, "program P; begin end.");
  }
  std::string unitText = "unit U; interface implementation end.";
  EXPECT_FALSE(AddUsesEntry(unitText, "Unit1", "Unit1.pas"));
  std::string quoted = "program P; begin end.";
  ASSERT_TRUE(AddUsesEntry(quoted, "Unit1", "it's/Unit1.pas"));
  EXPECT_EQ(NamesOf(ReadProjectUses(quoted)), (TNames{{"Unit1", "it's/Unit1.pas"}}));
}

struct TRemoveRow {
  const char* Name;
  std::string Text;
  const char* Unit;
  std::string Removed;  // empty: refused
};

const TRemoveRow kRemoveRows[] = {
    {"TheFirstOfSeveral", "uses A in 'a.pas',\r\n  B;", "a", "uses B;"},
    {"OneInTheMiddle", "uses A, B, C;", "B", "uses A, C;"},
    {"TheLast", "uses A,\n  B {form};", "B", "uses A {form};"},
    {"DirectivesAroundItStay", "uses {$IFDEF UNIX}cthreads,{$ENDIF} Classes;", "cthreads",
     "uses {$IFDEF UNIX}{$ENDIF} Classes;"},
    {"DirectivesBeforeTheLastStay", "uses A,{$IFDEF X}B{$ENDIF};", "B",
     "uses A{$IFDEF X}{$ENDIF};"},
    {"TheOnlyOneTakesTheClause", "program P;\r\n\r\nuses\r\n  A in 'a.pas';\r\n\r\nbegin end.", "A",
     "program P;\r\n\r\nbegin end."},
    {"TheOnlyOneAfterALineComment", "program P; // x\r\nuses A;\r\nbegin end.", "A",
     "program P; // x\r\nbegin end."},
    {"TheOnlyOneBesideAComment", "program P; uses A {main}; begin end.", "A", ""},
    {"AUnitNotListed", "program P; uses A; begin end.", "B", ""},
    {"NotInAComment", "program P; uses A; { B } begin end.", "B", ""},
};

void PrintTo(const TRemoveRow& row, std::ostream* os) {
  *os << row.Name;
}

class ProjectUsesRemoveTest : public ::testing::TestWithParam<TRemoveRow> {};

TEST_P(ProjectUsesRemoveTest, TakesTheEntryAndItsCommaOnly) {
  const TRemoveRow& row = GetParam();
  std::string text = row.Text;
  EXPECT_EQ(RemoveUsesEntry(text, row.Unit), !row.Removed.empty());
  EXPECT_EQ(text, row.Removed.empty() ? row.Text : row.Removed);
}

INSTANTIATE_TEST_SUITE_P(Texts, ProjectUsesRemoveTest, ::testing::ValuesIn(kRemoveRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ProjectUsesTest, LineBreakOfATextIsItsFirst) {
  EXPECT_EQ(LineBreakOf("a\nb\r\n"), "\n");
  EXPECT_EQ(LineBreakOf("a\r\nb\n"), "\r\n");
  EXPECT_EQ(LineBreakOf("a\rb"), "\r");
  EXPECT_EQ(LineBreakOf("ab"), "\r\n");
}

}  // namespace
}  // namespace scrivlock::hosts
