// The commenting module's writers and the test that finds a unit's module.
#include <gtest/gtest.h>

#include "SourceTestUtil.h"

namespace scrivlock::source {
namespace {

using test::ModuleText;

TEST(ModuleFormatTest, WritersProduceTheLayoutPieceByPiece) {
  TSourceClass processor;
  TByteStream source("ab{ text }cd"), stripped, module;
  source.Seek(7);
  processor.WriteModuleHeader(module, "Unit2", "Unit1.pas");
  processor.WriteComment(source, stripped, module, ckBrace, 3, 9);
  processor.WriteComment(source, stripped, module, ckEnd, 0, 0);
  processor.WriteModuleFooter(module);
  EXPECT_EQ(source.Position(), 7);
  EXPECT_EQ(processor.CommentCount, 2);
  EXPECT_EQ(stripped.View(), "{#1}{#2}");
  EXPECT_EQ(module.View(), ModuleText({{"Keys", " text "}}));
}

struct ModuleOfCase {
  const char* name;
  std::string text;
  const char* unit;
  bool expected;
};

const std::string kHeader = "Unit Unit2;\r\ninterface\r\n{$ifopt R+}\r\n{$ifopt R-}\r\n";

const ModuleOfCase kModuleOf[] = {
    {"its own unit", ModuleText({}), "Unit1.pas", true},
    {"another unit", ModuleText({}), "Unit3.pas", false},
    {"case matters", ModuleText({}), "unit1.pas", false},
    {"folder is not compared", ModuleText({}), "Unit1.pas", true},
    {"no header line", "unit Unit1;\r\nend.", "Unit1.pas", false},
    {"no closing bracket", kHeader + "Commenting File: [Unit1.pas\r\n", "Unit1.pas", false},
    {"bracket before the line", "x]" + kHeader + "Commenting File: [Unit1.pas]", "Unit1.pas",
     false},
    {"space in the name never matches", ModuleText({}, "My Unit.pas"), "My Unit.pas", false},
    {"line beyond 1023 bytes", std::string(1010, ' ') + "Commenting File: [A.pas]", "A.pas", false},
    {"line after a zero byte", std::string("\0", 1) + "Commenting File: [A.pas]", "A.pas", false},
    {"missing space", "Commenting File:[A.pas]", "A.pas", false},
};

// What tells a left-over module from a live one: whether the unit holds a
// marker at all.
TEST(ModuleFormatTest, HoldsMarkerFindsAMarkerAnywhere) {
  const struct {
    const char* Text;
    bool Holds;
  } cases[] = {
      {"", false},
      {"begin {#1} end.", true},
      {"{ main } begin end.", false},
      {"{#} {#x} {#12 } #1}", false},
      {"text ending in {#", false},
      {"writeln('{#7}');", true},  // in a literal too: an edited unit may be odd
      {"{{#42}", true},
      {"{#99999999999}", false},  // more than a number may be
      {"{#2147483647}", true},
  };
  for (const auto& c : cases) EXPECT_EQ(HoldsMarker(c.Text), c.Holds) << c.Text;
}

TEST(ModuleFormatTest, IsModuleOfComparesTheRecordedName) {
  for (const ModuleOfCase& c : kModuleOf) {
    TSourceClass processor;
    TByteStream module(c.text);
    EXPECT_EQ(processor.IsModuleOf(module, c.unit), c.expected) << c.name;
    EXPECT_EQ(module.Position(), 0) << c.name;
  }
}

TEST(ModuleFormatTest, IsModuleOfLooksFromThePosition) {
  TSourceClass processor;
  TByteStream module(std::string(2000, 'x') + ModuleText({}));
  EXPECT_FALSE(processor.IsModuleOf(module, "Unit1.pas"));
  module.Seek(2000);
  EXPECT_TRUE(processor.IsModuleOf(module, "Unit1.pas"));
  EXPECT_EQ(module.Position(), 2000);
}

}  // namespace
}  // namespace scrivlock::source
