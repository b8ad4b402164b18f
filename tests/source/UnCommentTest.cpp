#include <gtest/gtest.h>

#include "SourceTestUtil.h"

namespace scrivlock::source {
namespace {

using test::ModuleText;
using test::Uncomment;
using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(UnCommentTest, WorkedExample) {
  const auto r =
      Uncomment("unit Unit1;{ main }\r\ninterface\r\n// none\r\nimplementation\r\n(* x *)end.");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.stripped, "unit Unit1;{#1}\r\ninterface\r\n{#2}implementation\r\n{#3}end.{#4}");
  EXPECT_EQ(r.module,
            "Unit Unit2;\r\n"
            "interface\r\n"
            "{$ifopt R+}\r\n"
            "{$ifopt R-}\r\n"
            "Commenting File: [Unit1.pas]\r\n"
            "{NOTUNCOMMENTABLE}\r\n"
            "(*00000001,Keys  ,00000006*)\r\n"
            "' main '\r\n"
            "(*00000002,Bars  ,00000007*)\r\n"
            "' none\r\n"
            "'\r\n"
            "(*00000003,Pars  ,00000003*)\r\n"
            "' x '\r\n"
            "(*00000004,Fin   ,00000000*)\r\n"
            "''\r\n"
            "{$endif}\r\n"
            "{$endif}\r\n"
            "implementation\r\n"
            "end.");
}

struct ScanCase {
  const char* name;
  std::string text;
  std::string stripped;  // without the end marker
  Entries entries;
};

const ScanCase kScans[] = {
    {"no comments", "begin end.", "begin end.", {}},
    {"line comment takes its line break", "a // c\r\nb", "a {#1}b", {{"Bars", " c\r\n"}}},
    {"lone LF ends a line comment", "a//x\nb", "a{#1}b", {{"Bars", "x\n"}}},
    {"lone CR does not", "a//x\rb\nc", "a{#1}c", {{"Bars", "x\rb\n"}}},
    {"directive kept", "{$R *.res}x", "{$R *.res}x", {}},
    // As the compiler reads it: "{$define Debug := //}" comments out the rest
    // of each line where Debug is used.
    {"// in a one-line directive is its text",
     "{$define D := // x}\r\nD c",
     "{$define D := // x}\r\nD c",
     {}},
    {"// in a directive that goes on is a comment",
     "{$I a // b\r\n}c",
     "{$I a {#1}}c",
     {{"Bars", " b\r\n"}}},
    {"// after a quote in a directive is a comment",
     "{$I 'a' // b}\r\nc",
     "{$I 'a' {#1}c",
     {{"Bars", " b}\r\n"}}},
    {"// before a brace in a directive is a comment",
     "{$I a // {#2}}\r\nc",
     "{$I a {#1}c",
     {{"Bars", " {#2}}\r\n"}}},
    {"comments after a one-line directive",
     "{$define D := //} // e\r\nc",
     "{$define D := //} {#1}c",
     {{"Bars", " e\r\n"}}},
    {"quote in a directive opens a literal", "{$I 'x{y}'}z", "{$I 'x{y}'}z", {}},
    {"literal holds comment openers", "s := 'a//b{c(*d';", "s := 'a//b{c(*d';", {}},
    {"doubled quotes", "s := 'it''s {x}';{y}", "s := 'it''s {x}';{#1}", {{"Keys", "y"}}},
    {"literal right after a parenthesis", "f('(*x*)')", "f('(*x*)')", {}},
    {"empty brace comment", "a{}b", "a{#1}b", {{"Keys", ""}}},
    {"extra stars close at the first *)", "(* x **)y", "{#1}y", {{"Pars", " x *"}}},
    {"star of the opener does not close", "(*)x*)", "{#1}", {{"Pars", ")x"}}},
    {"brace holding paren-star", "{ (* x *) }", "{#1}", {{"Keys", " (* x *) "}}},
    {"paren-star holding braces", "(* {x} *)", "{#1}", {{"Pars", " {x} "}}},
    {"comments do not nest", "{a{b}c}", "{#1}c}", {{"Keys", "a{b"}}},
    {"paren-star directive kept", "(*$HPPEMIT 'x'*)y", "(*$HPPEMIT 'x'*)y", {}},
    {"lone ( and / at the end", "a(b/", "a(b/", {}},
    {"line comment on the last line", "a // end", "a {#1}", {{"Bars", " end"}}},
    {"brace left open stays", "a { open", "a { open", {}},
    {"paren-star left open stays, quoted markers become entries",
     "a (* o {#7} {#x} {#3",
     "a (* o {#1} {#x} {#3",
     {{"Keys", "#7"}}},
    {"literal left open", "s := 'abc {x}", "s := 'abc {x}", {}},
    {"zero bytes are plain bytes",
     std::string("a\0{x\0}", 6),
     std::string("a\0{#1}", 6),
     {{"Keys", std::string("x\0", 2)}}},
    {"comment text with quotes and (*", "{it's (*}", "{#1}", {{"Keys", "it's (*"}}},
};

TEST(UnCommentTest, StripsCommentsKeepsCodeLiteralsAndDirectives) {
  // Code in front moves each case across the places where the scan's blocks of
  // 64 bytes begin and end, and into the last bytes it looks at one by one.
  for (size_t pad = 0; pad <= 140; ++pad) {
    const std::string code(pad, 'x');
    for (const ScanCase& c : kScans) {
      const auto r = Uncomment(code + c.text);
      ASSERT_TRUE(r.ok) << c.name;
      EXPECT_EQ(r.stripped, code + c.stripped + "{#" + std::to_string(c.entries.size() + 1) + "}")
          << c.name << " after " << pad;
      EXPECT_EQ(r.module, ModuleText(c.entries)) << c.name << " after " << pad;
    }
  }
}

struct OptionCase {
  const char* name;
  TScanOptions options;
  std::string text;
  std::string stripped;  // without the end marker
  Entries entries;
};

constexpr TScanOptions kFpc{dlFpc, false};
constexpr TScanOptions kKeepLines{dlDelphi, true};

const OptionCase kOptionScans[] = {
    // Nesting as Free Pascal's fpc and objfpc modes read comments.
    {"braces nest", kFpc, "{a{b}c}d", "{#1}d", {{"Keys", "a{b}c"}}},
    {"deeply", kFpc, "{{{x}}}{y}", "{#1}{#2}", {{"Keys", "{{x}}"}, {"Keys", "y"}}},
    {"paren-stars nest", kFpc, "(*a(*b*)c*)d", "{#1}d", {{"Pars", "a(*b*)c"}}},
    {"a (*) inside closes a level", kFpc, "(* a (*) b *)", "{#1} b *)", {{"Pars", " a ("}}},
    {"(**) inside opens and closes", kFpc, "(* (**) *)x", "{#1}x", {{"Pars", " (**) "}}},
    {"other kinds do not nest", kFpc, "{ (* } x", "{#1} x", {{"Keys", " (* "}}},
    {"nor in paren-stars", kFpc, "(* { *) x", "{#1} x", {{"Pars", " { "}}},
    {"line comment text in a nest", kFpc, "{ // { } }\r\nx", "{#1}\r\nx", {{"Keys", " // { } "}}},
    {"directive in a brace nest counts", kFpc, "{ {$I x} }y", "{#1}y", {{"Keys", " {$I x} "}}},
    {"nest left open reads as not nesting", kFpc, "{a{b}c", "{#1}c", {{"Keys", "a{b"}}},
    {"paren nest left open", kFpc, "(*a(*b*)c", "{#1}c", {{"Pars", "a(*b"}}},
    {"literals are no nests", kFpc, "s := '{';{x}", "s := '{';{#1}", {{"Keys", "x"}}},
    // Keeping lines.
    {"line break stays", kKeepLines, "a // c\r\nb", "a {#1}\r\nb", {{"Bars", " c"}}},
    {"LF stays", kKeepLines, "a//c\nb", "a{#1}\nb", {{"Bars", "c"}}},
    {"a lone CR ends it too", kKeepLines, "a//x\rb\nc", "a{#1}\rb\nc", {{"Bars", "x"}}},
    {"empty line comment", kKeepLines, "//\r\n//", "{#1}\r\n{#2}", {{"Bars", ""}, {"Bars", ""}}},
    {"other comments unchanged",
     kKeepLines,
     "{a\nb}(*c\n*)",
     "{#1}{#2}",
     {{"Keys", "a\nb"}, {"Pars", "c\n"}}},
    // Assembler blocks keep their line breaks whatever the setting.
    {"asm block",
     {},
     "asm\n mov ax,bx // a\n nop // b\nend;// c\nx",
     "asm\n mov ax,bx {#1}\n nop {#2}\nend;{#3}x",
     {{"Bars", " a"}, {"Bars", " b"}, {"Bars", " c\n"}}},
    {"letter case and CR LF",
     {},
     "ASM // a\r\nEnd // b\r\n",
     "ASM {#1}\r\nEnd {#2}",
     {{"Bars", " a"}, {"Bars", " b\r\n"}}},
    {"asm in a literal or comment opens none",
     {},
     "s:='asm';{asm}// a\nx",
     "s:='asm';{#1}{#2}x",
     {{"Keys", "asm"}, {"Bars", " a\n"}}},
    {"words that only hold asm",
     {},
     "basm asm1 &asm {$asmmode intel}// a\nx",
     "basm asm1 &asm {$asmmode intel}{#1}x",
     {{"Bars", " a\n"}}},
    {"labels named end do not close",
     {},
     "asm jmp @end // a\n@end: // b\nend",
     "asm jmp @end {#1}\n@end: {#2}\nend",
     {{"Bars", " a"}, {"Bars", " b"}}},
    {"a nest in an asm block",
     kFpc,
     "asm { {x} end } // a\nend",
     "asm {#1} {#2}\nend",
     {{"Keys", " {x} end "}, {"Bars", " a"}}},
};

TEST(UnCommentTest, ReadsCommentsAsTheDialectAndSettingSay) {
  for (size_t pad = 0; pad <= 140; pad += 7) {
    const std::string code(pad, 'x');
    for (const OptionCase& c : kOptionScans) {
      const auto r = Uncomment(code + " " + c.text, "Unit1.pas", "Unit2", c.options);
      ASSERT_TRUE(r.ok) << c.name;
      EXPECT_EQ(r.stripped,
                code + " " + c.stripped + "{#" + std::to_string(c.entries.size() + 1) + "}")
          << c.name << " after " << pad;
      EXPECT_EQ(r.module, ModuleText(c.entries)) << c.name << " after " << pad;
      const auto back = test::Recomment(r.stripped, r.module);
      EXPECT_TRUE(back.ok) << c.name << ": " << back.stop.Describe();
      EXPECT_EQ(back.restored, code + " " + c.text) << c.name << " after " << pad;
    }
  }
}

TEST(UnCommentTest, LiteralsAndCommentsLongerThanABlock) {
  const std::string lit = "'" + std::string(150, '{') + "''(*//" + std::string(70, 'a') + "'";
  const std::string text = "x := " + lit + "; { it's " + std::string(100, '\'') + " }" + lit +
                           "// " + std::string(130, '\'') + "\n" + lit + "{c}";
  const auto r = Uncomment(text);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.stripped, "x := " + lit + "; {#1}" + lit + "{#2}" + lit + "{#3}{#4}");
  EXPECT_EQ(r.module, ModuleText({{"Keys", " it's " + std::string(100, '\'') + " "},
                                  {"Bars", " " + std::string(130, '\'') + "\n"},
                                  {"Keys", "c"}}));
}

// A large unit whose memory goes back as the scan passes it strips exactly as
// one that is kept whole, in each dialect and setting.
TEST(UnCommentTest, GivingTheSourceBackAsItIsPassedChangesNoResult) {
  // In fpc, the first comment never closes: the later ones are answered by
  // the search remembered from it, which must not read memory given back.
  std::string text = "unit Big;\r\n{ never closed\r\n";
  const std::string piece =
      "{ a { nested } one } x := 'it''s { not }'; (* paren (* in *) *) // line\r\n"
      "asm\r\n  mov eax, 1 // kept\r\nend;\r\n{ open { left }\r\n" +
      std::string(3000, 'c') + "\r\n";
  while (text.size() < (size_t{10} << 20)) text += piece;
  // A comment longer than the steps in which memory goes back.
  std::string braces;
  while (braces.size() < (size_t{9} << 20)) braces += "x{";
  text += "(* " + braces + " *)";
  while (text.size() < (size_t{30} << 20)) text += piece;
  for (const TScanOptions options : {TScanOptions{dlDelphi, false}, TScanOptions{dlFpc, true}}) {
    const auto whole = Uncomment(text, "Big.pas", "Unit2", options);
    TSourceClass processor;
    processor.FileName = "Big.pas";
    processor.Options = options;
    processor.GiveBackInputs = true;
    TByteStream source(text), stripped, module;
    ASSERT_TRUE(processor.UnComment(source, stripped, module, "Unit2"));
    EXPECT_TRUE(whole.stripped == stripped.View());
    EXPECT_TRUE(whole.module == module.View());
    // The memory went back: the text's start and the long comment read as zeros now.
    EXPECT_EQ(source.View().substr(size_t{4} << 20, 16), std::string(16, '\0'));
    EXPECT_EQ(source.View().substr(size_t{15} << 20, 16), std::string(16, '\0'));
  }
}

TEST(UnCommentTest, RefusesWrongExtensionsAndMarkedUnits) {
  const std::string pad(1005, ' ');
  struct {
    const char* name;
    std::string file;
    std::string text;
    bool ok;
  } cases[] = {
      {"upper-case extension", "UNIT1.PAS", "{x}", true},
      {"mixed-case extension", "Mixed.Pas", "{x}", true},
      {"Free Pascal's extension", "unit1.pp", "{x}", true},
      {"upper-case .PP", "UNIT1.PP", "{x}", true},
      {"include file", "defines.inc", "{x}", false},
      {"program", "project1.lpr", "{x}", false},
      {"form", "unit1.lfm", "{x}", false},
      {"ppu-like extension", "unit1.ppu", "{x}", false},
      {"no extension", "Unit1", "{x}", false},
      {"dot in the folder only", "/src.pas/Unit1", "{x}", false},
      {"full path is fine", "/home/me/src/Unit1.pas", "{x}", true},
      {"marked", "Unit1.pas", "unit U; {NOTUNCOMMENTABLE}", false},
      {"marker ends at byte 1023", "Unit1.pas", pad + "{NOTUNCOMMENTABLE}", false},
      {"marker past byte 1023", "Unit1.pas", pad + " {NOTUNCOMMENTABLE}", true},
      {"marker after a zero byte", "Unit1.pas", std::string("\0", 1) + "{NOTUNCOMMENTABLE}", true},
      {"marker in other case", "Unit1.pas", "{NotUncommentable}", true},
      {"a commenting module", "Unit2.pas", Uncomment("{x}").module, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Uncomment(c.text, c.file).ok, c.ok) << c.name;
  }
}

TEST(UnCommentTest, NamesTheUnitWithoutItsFolder) {
  for (const char* file : {"C:\\src\\Main.pas", "/home/me/Main.pas", "D:Main.pas"}) {
    const auto r = Uncomment("x", file, "Unit7");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.module, ModuleText({}, "Main.pas", "Unit7")) << file;
  }
}

TEST(UnCommentTest, ReadsFromThePositionAndGoesOnNumbering) {
  TSourceClass processor;
  processor.FileName = "Unit1.pas";
  TByteStream source("skip{a}{b}"), stripped, module;
  source.Seek(4);
  ASSERT_TRUE(processor.UnComment(source, stripped, module, "Unit2"));
  EXPECT_EQ(stripped.View(), "{#1}{#2}{#3}");
  EXPECT_EQ(processor.CommentCount, 3);
  EXPECT_EQ(processor.ModuleUnitName, "Unit2");
  EXPECT_EQ(processor.LastUncommented, "Unit1.pas");

  // A second scan with the same object goes on counting: hence a fresh one per command.
  TByteStream again("{c}"), stripped2, module2;
  ASSERT_TRUE(processor.UnComment(again, stripped2, module2, "Unit3"));
  EXPECT_EQ(stripped2.View(), "{#4}{#5}");
}

TEST(UnCommentTest, RefusalKeepsTheFormerResultFields) {
  TSourceClass processor;
  processor.FileName = "Unit1.pas";
  TByteStream source("{NOTUNCOMMENTABLE}"), stripped, module;
  EXPECT_FALSE(processor.UnComment(source, stripped, module, "Unit2"));
  EXPECT_EQ(processor.ModuleUnitName, "");
  EXPECT_EQ(processor.LastUncommented, "");
  EXPECT_EQ(source.Position(), 0);
}

}  // namespace
}  // namespace scrivlock::source
