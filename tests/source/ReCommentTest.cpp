#include <gtest/gtest.h>

#include <random>

#include "SourceTestUtil.h"

namespace scrivlock::source {
namespace {

using test::ModuleText;
using test::Recomment;
using test::Uncomment;
using Stop = TReCommentStop;

const char kUnit[] = "unit Unit1;{ main }\r\ninterface\r\n// none\r\nimplementation\r\n(* x *)end.";

TEST(ReCommentTest, RestoresTheWorkedExample) {
  const auto u = Uncomment(kUnit);
  const auto r = Recomment(u.stripped, u.module);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.restored, kUnit);
  EXPECT_EQ(r.stop.Reason, Stop::rsNone);
}

struct WalkCase {
  const char* name;
  std::string stripped;
  bool ok;
  std::string restored;  // what stands in the output, also after a stop
  Stop::TReason reason;
  int32_t marker;
  int32_t entry;
};

// Module of kUnit: 1 Keys " main ", 2 Bars " none\r\n", 3 Pars " x ", 4 Fin.
const WalkCase kWalks[] = {
    {"code edited between markers", "unit Unit1;{#1}\r\nuses A;\r\n{#2}{#3}end.{#4}", true,
     "unit Unit1;{ main }\r\nuses A;\r\n// none\r\n(* x *)end.", Stop::rsNone, 0, 0},
    {"end marker deleted", "{#1}{#2}{#3}", true, "{ main }// none\r\n(* x *)", Stop::rsNone, 0, 0},
    {"text after the end marker", "{#1}{#2}{#3}{#4} tail", true, "{ main }// none\r\n(* x *) tail",
     Stop::rsNone, 0, 0},
    {"middle marker deleted", "a{#1}b{#3}c{#4}", false, "a{ main }b", Stop::rsMismatch, 3, 2},
    {"marker duplicated", "{#1}{#2}{#2}{#3}{#4}", false, "{ main }// none\r\n", Stop::rsMismatch, 2,
     3},
    {"copy after the last comment's marker", "{#1}{#2}{#3}x{#3}{#4}", false,
     "{ main }// none\r\n(* x *)x", Stop::rsWrongEndNumber, 3, 4},
    {"marker after the end marker", "{#1}{#2}{#3}{#4}{#5}", false, "{ main }// none\r\n(* x *)",
     Stop::rsAfterEnd, 5, 4},
    {"last comment's marker deleted", "{#1}{#2}x", false, "{ main }// none\r\nx",
     Stop::rsUnplacedEntry, 0, 3},
    {"marker in a literal is text", "s := '{#9}';{#1}{#2}{#3}{#4}", true,
     "s := '{#9}';{ main }// none\r\n(* x *)", Stop::rsNone, 0, 0},
    {"quote in an added comment opens no literal", "{ don't }{#1}// it's\r\n{#2}(*'*){#3}{#4}",
     true, "{ don't }{ main }// it's\r\n// none\r\n(*'*)(* x *)", Stop::rsNone, 0, 0},
    {"marker inside an added comment", "(* {#1} *)// {#2}{#3}{#4}", true,
     "(* { main } *)// // none\r\n(* x *)", Stop::rsNone, 0, 0},
    {"things that are not markers", "{#}{#x}{#-1}{#99999999999}{#1}{#2}{#3}{#4}{#5", true,
     "{#}{#x}{#-1}{#99999999999}{ main }// none\r\n(* x *){#5", Stop::rsNone, 0, 0},
    {"numbers with leading zeros", "{#01}{#000000002}{#0003}{#4}", true,
     "{ main }// none\r\n(* x *)", Stop::rsNone, 0, 0},
    {"numbers up to 32 bits", "{#2147483648}{#1}{#2}{#3}{#2147483647}", false,
     "{#2147483648}{ main }// none\r\n(* x *)", Stop::rsWrongEndNumber, 2147483647, 4},
    {"directives are code", "{$I 'a'}(*$X*){#1}{#2}{#3}{#4}", true,
     "{$I 'a'}(*$X*){ main }// none\r\n(* x *)", Stop::rsNone, 0, 0},
};

TEST(ReCommentTest, PutsEntriesBackAtTheirMarkersOrStops) {
  const std::string module = Uncomment(kUnit).module;
  // Code in front moves each case across the places where the walk's blocks of
  // 64 bytes begin and end, and into the last bytes it looks at one by one.
  for (size_t pad = 0; pad <= 140; ++pad) {
    const std::string code(pad, 'x');
    for (const WalkCase& c : kWalks) {
      const auto r = Recomment(code + c.stripped, module);
      EXPECT_EQ(r.ok, c.ok) << c.name << " after " << pad;
      EXPECT_EQ(r.restored, code + c.restored) << c.name << " after " << pad;
      EXPECT_EQ(r.stop.Reason, c.reason) << c.name << " after " << pad;
      if (!c.ok) {
        EXPECT_EQ(r.stop.Marker, c.marker) << c.name << " after " << pad;
        EXPECT_EQ(r.stop.Entry, c.entry) << c.name << " after " << pad;
      }
    }
  }
}

TEST(ReCommentTest, ReportsWhereItStopped) {
  const auto r = Recomment("abc{#2}", Uncomment(kUnit).module);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.stop.Offset, 3);
  EXPECT_EQ(r.stop.Describe(),
            "marker {#2} at byte 3 of the unit does not match entry 1 of the commenting module");
}

struct ModuleCase {
  const char* name;
  std::string module;
  std::string stripped;
  bool ok;
  std::string restored;
  Stop::TReason reason;
};

const std::string kOne = ModuleText({{"Keys", "a"}});

ModuleCase DamagedModule(const char* name, std::string from, std::string to, std::string stripped,
                         bool ok, std::string restored, Stop::TReason reason) {
  std::string module = kOne;
  module.replace(module.find(from), from.size(), to);
  return {name, module, stripped, ok, restored, reason};
}

const ModuleCase kModules[] = {
    {"no entry at all", "Unit Unit2;\r\nend.", "x{#1}", false, "", Stop::rsNoEntries},
    {"empty module", "", "x", false, "", Stop::rsNoEntries},
    {"empty entry gives its delimiters", ModuleText({{"Keys", ""}, {"Pars", ""}, {"Bars", ""}}),
     "{#1}{#2}{#3}{#4}", true, "{}(**)//", Stop::rsNone},
    DamagedModule("text edited inside the module", "'a'", "'abc'", "{#1}{#2}", true, "{abc}",
                  Stop::rsNone),
    DamagedModule("text edited to hold a quote and a line", "'a'", "'it's\r\nlong'", "{#1}{#2}",
                  true, "{it's\r\nlong}", Stop::rsNone),
    DamagedModule("unknown kind", "Keys", "Kees", "{#1}{#2}", false, "", Stop::rsUnknownKind),
    DamagedModule("end record missing", "(*00000002,Fin   ,00000000*)\r\n''\r\n", "", "{#1}{#2}",
                  false, "{a}", Stop::rsNoEntryLeft),
    DamagedModule("unreadable record keeps the last values", "00000001,Keys  ,00000001", "garbage",
                  "{#1}{#2}", false, "", Stop::rsMismatch),
    {"truncated in the middle of a text", kOne.substr(0, kOne.find("'a'") + 2), "{#1}{#2}", false,
     "", Stop::rsDamagedEntry},
    // A text edited inside the module runs to its closing quote, a line break and
    // the next record; the stored length no longer matters.
    DamagedModule("text emptied", "'a'", "''", "{#1}{#2}", true, "{}", Stop::rsNone),
    DamagedModule("text edited to hold (*", "'a'", "'a (* b'", "{#1}{#2}", true, "{a (* b}",
                  Stop::rsNone),
    DamagedModule("text edited to hold a zero byte", "'a'", std::string("'a\0b'", 5), "{#1}{#2}",
                  true, std::string("{a\0b}", 5), Stop::rsNone),
    DamagedModule("text edited to hold a record", "'a'", "'(*00000002,Fin   ,00000000*)'",
                  "{#1}{#2}", true, "{(*00000002,Fin   ,00000000*)}", Stop::rsNone),
    // Anything else that does not read as its record says is refused.
    DamagedModule("closing quote removed", "'a'", "'a", "{#1}{#2}", false, "",
                  Stop::rsDamagedEntry),
    DamagedModule("opening quote removed", "'a'", "a'", "{#1}{#2}", false, "",
                  Stop::rsDamagedEntry),
    DamagedModule("line break after the record removed", "*)\r\n'a", "*)'a", "{#1}{#2}", false, "",
                  Stop::rsDamagedEntry),
    DamagedModule("line break after the text removed", "'a'\r\n", "'a'", "{#1}{#2}", false, "",
                  Stop::rsDamagedEntry),
    DamagedModule("bytes between the text and the next record", "'a'\r\n", "'a'\r\nxx", "{#1}{#2}",
                  false, "", Stop::rsDamagedEntry),
    DamagedModule("record without its close", "00000001*)", "00000001", "{#1}{#2}", false, "",
                  Stop::rsDamagedEntry),
    DamagedModule("unreadable record under a copied marker", "00000001,Keys  ,00000001", "garbage",
                  "{#0}{#0}", false, "", Stop::rsDamagedEntry),
};

// Large texts whose memory goes back as the walk passes them restore exactly
// as ones kept whole, and a walk that stops late says the same.
TEST(ReCommentTest, GivingTheInputsBackAsTheyArePassedChangesNoResult) {
  std::string unit = "unit Big;\r\n";
  const std::string piece = "{ a } x := 'it''s'; (* b *) // c\r\n" + std::string(60000, 'y') + "{" +
                            std::string(60000, 'z') + "}\r\n";
  while (unit.size() < (size_t{40} << 20)) unit += piece;
  const auto u = Uncomment(unit, "Big.pas");
  ASSERT_TRUE(u.ok);
  // The same module with its last entry damaged: the walk stops near the end.
  std::string damaged = u.module;
  const size_t last = damaged.rfind("(*00");
  ASSERT_NE(last, std::string::npos);
  damaged[damaged.rfind("(*00", last - 1) + 12] = 'X';
  const std::string& damagedModule = damaged;
  for (const std::string* module : {&u.module, &damagedModule}) {
    const auto whole = Recomment(u.stripped, *module);
    TSourceClass processor;
    processor.GiveBackInputs = true;
    TByteStream stripped(u.stripped), m(*module), restored;
    EXPECT_EQ(processor.ReComment(stripped, m, restored), whole.ok);
    EXPECT_TRUE(restored.View() == whole.restored);
    EXPECT_EQ(processor.LastStop().Reason, whole.stop.Reason);
    EXPECT_EQ(processor.LastStop().Offset, whole.stop.Offset);
    EXPECT_EQ(processor.LastStop().Entry, whole.stop.Entry);
    // The memory went back: the texts' starts read as zeros now.
    EXPECT_EQ(stripped.View().substr(size_t{4} << 20, 16), std::string(16, '\0'));
    EXPECT_EQ(m.View().substr(size_t{4} << 20, 16), std::string(16, '\0'));
  }
  EXPECT_TRUE(Recomment(u.stripped, u.module).restored == unit);
}

TEST(ReCommentTest, HandlesHandEditedAndDamagedModules) {
  for (const ModuleCase& c : kModules) {
    const auto r = Recomment(c.stripped, c.module);
    EXPECT_EQ(r.ok, c.ok) << c.name;
    EXPECT_EQ(r.restored, c.restored) << c.name;
    EXPECT_EQ(r.stop.Reason, c.reason) << c.name;
  }
}

TEST(ReCommentTest, SaysWhichEntryIsDamagedAndWhere) {
  std::string module = ModuleText({{"Keys", "a"}, {"Pars", "b"}});
  module.replace(module.find("'b'"), 3, "'b");
  const auto r = Recomment("xy{#1}{#2}{#3}", module);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.restored, "xy{a}");
  EXPECT_EQ(r.stop.Reason, Stop::rsDamagedEntry);
  EXPECT_EQ(r.stop.Entry, 2);
  EXPECT_EQ(r.stop.ModuleOffset, static_cast<int64_t>(module.find("(*00000002")));
  EXPECT_EQ(r.stop.Describe(), "entry 2 of the commenting module, at byte " +
                                   std::to_string(r.stop.ModuleOffset) +
                                   " of it, does not read as its record says (marker {#2} at "
                                   "byte 6 of the unit)");
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Git (text=auto, core.autocrlf), dos2unix and editors turn a module's CR LF
// into LF, all of them or some. Each comment then comes back with its text as
// the module holds it.
const char kConvertedUnit[] =
    "unit A;{ main }\r\n// line one\r\n(* paren *){}x//\r\n{ two\r\nlines }(* a (* b *)end.";
const char kConvertedTexts[] =
    "unit A;{ main }\r\n// line one\n(* paren *){}x//\n{ two\nlines }(* a (* b *)end.";

struct ConvertedCase {
  const char* name;
  std::string (*module)(const std::string&);
  std::string (*stripped)(const std::string&);
  std::string restored;
};

std::string Unchanged(const std::string& text) {
  return text;
}
std::string AllLf(const std::string& text) {
  return Replaced(text, "\r\n", "\n");
}
// What an editor leaves that converts the lines it touched.
std::string HeadsLf(const std::string& text) {
  return Replaced(Replaced(Replaced(text, "*)\r\n'", "*)\n'"), "'\r\n(*", "'\n(*"), "'\r\n{",
                  "'\n{");
}
std::string TextsLf(const std::string& text) {
  return Replaced(Replaced(Replaced(AllLf(text), "*)\n'", "*)\r\n'"), "'\n(*", "'\r\n(*"), "'\n{",
                  "'\r\n{");
}

const ConvertedCase kConverted[] = {
    {"module LF", AllLf, Unchanged, kConvertedTexts},
    {"module and unit LF", AllLf, AllLf, AllLf(kConvertedUnit)},
    {"module's heads and tails LF", HeadsLf, Unchanged, kConvertedUnit},
    {"module's texts LF", TextsLf, Unchanged, kConvertedTexts},
    {"unit LF", Unchanged, AllLf,
     "unit A;{ main }\n// line one\r\n(* paren *){}x//\r\n{ two\r\nlines }(* a (* b *)end."},
};

TEST(ReCommentTest, RestoresModulesWhoseLineBreaksWereConverted) {
  const auto u = Uncomment(kConvertedUnit);
  ASSERT_TRUE(u.ok);
  for (const std::string& code : {std::string(), std::string(100, 'x')}) {
    for (const ConvertedCase& c : kConverted) {
      const auto r = Recomment(code + c.stripped(u.stripped), c.module(u.module));
      EXPECT_TRUE(r.ok) << c.name << ": " << r.stop.Describe();
      EXPECT_EQ(r.restored, code + c.restored) << c.name;
    }
  }
}

// The first unit that showed it: before, each comment lost its first and last
// byte, and the line comment its line break, and the restoration succeeded.
TEST(ReCommentTest, RestoresTheFirstConvertedModuleThatLostComments) {
  const auto u = Uncomment("{ main }\r\n// line one\r\n(* paren *)");
  const auto r = Recomment(u.stripped, AllLf(u.module));
  EXPECT_TRUE(r.ok) << r.stop.Describe();
  EXPECT_EQ(r.restored, "{ main }\r\n// line one\n(* paren *)");
}

// A comment whose text is empty or short, read from a converted module, and an
// empty line comment that ends the unit.
TEST(ReCommentTest, ShortAndEmptyTextsAreNeverACrash) {
  for (const std::string unit : {"{}", "a{}b", "(**)", "//", "a //", "{x}", "//\r\n"}) {
    const auto u = Uncomment(unit);
    const auto r = Recomment(u.stripped, u.module);
    EXPECT_TRUE(r.ok) << unit;
    EXPECT_EQ(r.restored, unit);
    const auto lf = Recomment(u.stripped, AllLf(u.module));
    EXPECT_TRUE(lf.ok) << unit;
    EXPECT_EQ(lf.restored, AllLf(unit));
  }
}

// A record is taken as written only when its kind's name is spelled exactly:
// a name one letter off is no kind, also where the walk reads entries ahead
// (the code after the markers makes it take them a block at a time).
TEST(ReCommentTest, ANameOneLetterOffIsNoKind) {
  for (const std::string kind : {"Bars", "Keys", "Pars"}) {
    const std::string module = ModuleText({{kind, "a"}});
    for (const std::string& name : {kind, std::string("Fin")}) {
      const size_t from = module.find("," + name + " ");
      ASSERT_NE(from, std::string::npos);
      for (size_t at = from + 1; at <= from + name.size(); ++at) {
        for (char flip = 1; flip <= 9; ++flip) {
          std::string damaged = module;
          damaged[at] = static_cast<char>(damaged[at] ^ flip);
          const auto r = Recomment("{#1}{#2}" + std::string(100, 'x'), damaged);
          EXPECT_FALSE(r.ok) << damaged.substr(from, 8);
        }
      }
    }
  }
}

// An unreadable record leaves the last one read in place, also when that one
// was put back without being read in full: the marker after it is held
// against entry 1, not against the zero of a record never read. (Code after
// the markers makes the walk take them a block at a time.)
TEST(ReCommentTest, HoldsAMarkerAgainstTheLastReadEntryAfterAnUnreadableRecord) {
  std::string module = ModuleText({{"Keys", "a"}, {"Keys", "b"}});
  const std::string second = "00000002,Keys  ,00000001";
  module.replace(module.find(second), second.size(), "garbage");
  const auto r = Recomment("{#1}{#0}{#3}" + std::string(100, 'x'), module);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.restored, "{a}");
  EXPECT_EQ(r.stop.Describe(),
            "marker {#0} at byte 4 of the unit does not match entry 1 of the commenting module");
}

// Units that a plain scan and walk would not give back whole.
const std::string kRoundTrips[] = {
    "{ text with (* inside }x",
    "(* a (* b *)// c (* d\r\nend.",
    "{ it's }'{#1}'{#2}",
    "s := '{#,m,M}'; { pic }",
    "(*$HPPEMIT 'x' *) { c }",
    "a // last line without a break",
    "a { never closed",
    "a (* never closed {#1} {#2}",
    "a (* never closed *{#1})",
    "s := 'never closed {#1}",
    "s := 'never closed {#",
    "{#1}{#2}{#3}",
    std::string("{\0}(*\0*)//\0\n", 11),
    "'{x}''{#0}' (* '{#5}' *)",
    "{'}'{#1}'",
    "{$define D := //} {c} '{#1}' // d\r\n{$I a //{#2}}",
    // A "//" in a directive, then text that looks like a marker on the same line.
    std::string("\0er closed *c{#2}a (*+\xff\xff*) {$I a //\0er closed *c{#2}a (*+\xff\xff*) "
                "{$I a // \n/ bg}\r\nc\xb8\xb8\xb8\xb8 cl{# }))",
                93),
};

TEST(ReCommentTest, RoundTripsUnitsThatHoldTheDelimitersInside) {
  for (const std::string& unit : kRoundTrips) {
    const auto u = Uncomment(unit);
    ASSERT_TRUE(u.ok) << unit;
    const auto r = Recomment(u.stripped, u.module);
    EXPECT_TRUE(r.ok) << unit << ": " << r.stop.Describe();
    EXPECT_EQ(r.restored, unit);
  }
}

TEST(ReCommentTest, RoundTripsRandomText) {
  // Text made mostly of the bytes that matter to the scan and the walk.
  const std::string alphabet = "{}()*/'$#\r\n0123456789 a";
  std::mt19937 random(20261210);
  for (int round = 0; round < 40000; ++round) {
    std::string unit(random() % (round % 4 == 0 ? 400 : 120), ' ');
    for (char& c : unit) c = alphabet[random() % alphabet.size()];
    if (!unit.empty() && random() % 8 == 0) unit[random() % unit.size()] = '\0';
    const auto u = Uncomment(unit);
    ASSERT_TRUE(u.ok) << unit;
    const auto r = Recomment(u.stripped, u.module);
    ASSERT_TRUE(r.ok) << unit << ": " << r.stop.Describe();
    ASSERT_EQ(r.restored, unit);
  }
}

TEST(ReCommentTest, RoundTripsRecordsLongerThan24Characters) {
  TSourceClass processor;
  processor.FileName = "Unit1.pas";
  processor.CommentCount = 99999998;  // entries 99999999, 100000000 and the end record
  const std::string unit = "{a}x(*b*)y//c\r\n";
  TByteStream source(unit), stripped, module, restored;
  ASSERT_TRUE(processor.UnComment(source, stripped, module, "Unit2"));
  EXPECT_NE(module.View().find("(*100000000,Pars  ,00000001*)"), std::string_view::npos);
  TSourceClass back;
  ASSERT_TRUE(back.ReComment(stripped, module, restored)) << back.LastStop().Describe();
  EXPECT_EQ(restored.View(), unit);
}

TEST(ReCommentTest, SurvivesEveryTruncationAndDamageOfTheModule) {
  const auto u = Uncomment(kUnit);
  for (size_t cut = 0; cut <= u.module.size(); ++cut) {
    const auto r = Recomment(u.stripped, u.module.substr(0, cut));
    if (r.ok) {
      EXPECT_EQ(r.restored, kUnit) << cut;
    }
  }
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string module = u.module;
    for (int i = 0; i < 3; ++i) module[random() % module.size()] = static_cast<char>(random());
    const auto r = Recomment(u.stripped, module);
    EXPECT_LE(r.restored.size(), u.stripped.size() + module.size());
  }
  for (size_t cut = 0; cut <= u.stripped.size(); ++cut) {
    Recomment(u.stripped.substr(0, cut), u.module);  // markers cut off at any byte
  }
}

}  // namespace
}  // namespace scrivlock::source
