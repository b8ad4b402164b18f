// The C interface, called as a program in another language calls it: through
// libscrivlock-core.so and its header only. Where the C++ core is asked too,
// it is to show that the interface hands over exactly what the core made.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "capi/scrivlock.h"
#include "commands/Messages.h"
#include "source/SourceClass.h"

namespace {

// Results whose pointers go back through scrivlock_free on every path.
struct TUncommented : scrivlock_uncomment_result {
  TUncommented() : scrivlock_uncomment_result{} {}
  int code = 0;
  ~TUncommented() {
    scrivlock_free(stripped);
    scrivlock_free(module);
    scrivlock_free(message);
  }
  std::string Stripped() const { return {stripped, stripped_size}; }
  std::string Module() const { return {module, module_size}; }
};

struct TRecommented : scrivlock_recomment_result {
  TRecommented() : scrivlock_recomment_result{} {}
  int code = 0;
  ~TRecommented() {
    scrivlock_free(restored);
    scrivlock_free(description);
  }
  std::string Restored() const { return {restored, restored_size}; }
};

void Uncomment(TUncommented& u, const std::string& unit, int dialect = SCRIVLOCK_DIALECT_DELPHI,
               const char* projectMode = nullptr, int keepLines = 0,
               const char* fileName = "Unit1.pas") {
  u.code = scrivlock_uncomment(unit.data(), unit.size(), fileName, "Unit2", dialect, projectMode,
                               keepLines, &u);
}

void Recomment(TRecommented& r, const std::string& stripped, const std::string& module) {
  r.code = scrivlock_recomment(stripped.data(), stripped.size(), module.data(), module.size(), &r);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Comments nest in fpc and not in delphi, so the two dialects strip this unit
// differently; "//" comments take their line break with them unless lines are
// kept.
const std::string kNesting =
    "unit Unit1;\r\n{ outer { inner } still outer }\r\ninterface\r\n// one\r\n"
    "implementation\r\n(* a (* b *) c *)\r\nend.";
const std::string kDelphiMode = "{$mode delphi}\r\n" + kNesting;

TEST(CoreApiTest, RoundTripsInEachDialectAndLineSetting) {
  struct {
    const char* name;
    std::string unit;
    int dialect;
    const char* projectMode;
    scrivlock::source::TDialect used;  // the dialect AUTO comes to
  } cases[] = {
      {"delphi", kNesting, SCRIVLOCK_DIALECT_DELPHI, nullptr, scrivlock::source::dlDelphi},
      {"fpc", kNesting, SCRIVLOCK_DIALECT_FPC, nullptr, scrivlock::source::dlFpc},
      {"auto, no project mode", kNesting, SCRIVLOCK_DIALECT_AUTO, nullptr,
       scrivlock::source::dlFpc},
      {"auto, a delphi project", kNesting, SCRIVLOCK_DIALECT_AUTO, "Delphi",
       scrivlock::source::dlDelphi},
      {"auto, an objfpc project", kNesting, SCRIVLOCK_DIALECT_AUTO, "objfpc",
       scrivlock::source::dlFpc},
      {"auto, a mode that is none", kNesting, SCRIVLOCK_DIALECT_AUTO, "nonsense",
       scrivlock::source::dlFpc},
      {"auto, the unit's mode wins", kDelphiMode, SCRIVLOCK_DIALECT_AUTO, "objfpc",
       scrivlock::source::dlDelphi},
      {"the demo's Greeter", ReadFile(SCRIVLOCK_DEMO "/Greeter.pas"), SCRIVLOCK_DIALECT_AUTO,
       nullptr, scrivlock::source::dlFpc},
      {"the demo's MathUtil", ReadFile(SCRIVLOCK_DEMO "/MathUtil.pas"), SCRIVLOCK_DIALECT_DELPHI,
       nullptr, scrivlock::source::dlDelphi},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.unit.empty()) << c.name;
    for (int keepLines : {0, 1}) {
      SCOPED_TRACE(std::string(c.name) + (keepLines != 0 ? ", lines kept" : ""));
      TUncommented u;
      Uncomment(u, c.unit, c.dialect, c.projectMode, keepLines);
      ASSERT_EQ(u.code, SCRIVLOCK_OK);
      EXPECT_EQ(u.refusal, SCRIVLOCK_UR_NONE);
      EXPECT_EQ(u.dialect, c.used);
      EXPECT_EQ(u.message, nullptr);
      // Texts are zero-terminated besides.
      EXPECT_EQ(u.stripped[u.stripped_size], '\0');
      EXPECT_EQ(u.module[u.module_size], '\0');

      scrivlock::source::TSourceClass core;
      core.FileName = "Unit1.pas";
      core.Options = {c.used, keepLines != 0};
      scrivlock::TByteStream source(c.unit), stripped, module;
      ASSERT_TRUE(core.UnComment(source, stripped, module, "Unit2"));
      EXPECT_EQ(u.Stripped(), stripped.View());
      EXPECT_EQ(u.Module(), module.View());

      TRecommented r;
      Recomment(r, u.Stripped(), u.Module());
      EXPECT_EQ(r.code, SCRIVLOCK_OK);
      EXPECT_EQ(r.reason, SCRIVLOCK_RS_NONE);
      EXPECT_EQ(r.description, nullptr);
      EXPECT_EQ(r.Restored(), c.unit);
    }
  }
}

TEST(CoreApiTest, RefusesWithTheCoreReasonAndNoTexts) {
  struct {
    const char* name;
    std::string unit;
    const char* fileName;
    int refusal;
  } cases[] = {
      {"an include file", "{ a }", "Unit1.inc", SCRIVLOCK_UR_EXTENSION},
      {"no extension", "{ a }", "/src/Unit1", SCRIVLOCK_UR_EXTENSION},
      {"a name no header can hold", "{ a }", "/src/My Unit.pas", SCRIVLOCK_UR_FILE_NAME},
      {"marked", "unit A; {NOTUNCOMMENTABLE} { a }", "/src/A.pas", SCRIVLOCK_UR_NOT_UNCOMMENTABLE},
  };
  for (const auto& c : cases) {
    TUncommented u;
    Uncomment(u, c.unit, SCRIVLOCK_DIALECT_DELPHI, nullptr, 0, c.fileName);
    EXPECT_EQ(u.code, SCRIVLOCK_REFUSED) << c.name;
    EXPECT_EQ(u.refusal, c.refusal) << c.name;
    EXPECT_EQ(u.stripped, nullptr) << c.name;
    EXPECT_EQ(u.module, nullptr) << c.name;
    EXPECT_EQ(u.stripped_size + u.module_size, 0u) << c.name;
  }
}

TEST(CoreApiTest, AStopSaysWhyAndWhereInLinesAndColumns) {
  const std::string unit = "unit Unit1;{ a }\r\n{ b }\n{ c }\r{ d }end.";
  TUncommented u;
  Uncomment(u, unit);
  ASSERT_EQ(u.code, SCRIVLOCK_OK);
  // The module's first entry, and where its text begins.
  const std::string module = u.Module();
  const size_t firstText = module.find("' a '");
  ASSERT_NE(firstText, std::string::npos);
  std::string damaged = module;
  damaged[firstText] = '"';

  struct {
    const char* name;
    std::string stripped;
    std::string module;
    int reason;
    long marker, entry, line, column;
    std::string restored;  // the text before the stop
  } cases[] = {
      {"a marker deleted, CR LF", "unit Unit1;{#1}\r\n  {#3}", module, SCRIVLOCK_RS_MISMATCH, 3, 2,
       2, 3, "unit Unit1;{ a }\r\n  "},
      {"after LF and CR", "{#1}\r\n{#2}\n{#3}\r xy{#5}", module, SCRIVLOCK_RS_MISMATCH, 5, 4, 4, 4,
       "{ a }\r\n{ b }\n{ c }\r xy"},
      {"on the first line", "ab{#4}", module, SCRIVLOCK_RS_MISMATCH, 4, 1, 1, 3, "ab"},
      {"an entry damaged in the module", "x\r\n{#1}", damaged, SCRIVLOCK_RS_DAMAGED_ENTRY, 1, 1, 2,
       1, "x\r\n"},
      {"a module with no entries", "{#1}", "unit Unit2;", SCRIVLOCK_RS_NO_ENTRIES, 0, 0, 1, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecommented r;
    Recomment(r, c.stripped, c.module);
    ASSERT_EQ(r.code, SCRIVLOCK_STOPPED);
    EXPECT_EQ(r.reason, c.reason);
    EXPECT_EQ(r.marker, c.marker);
    EXPECT_EQ(r.entry, c.entry);
    EXPECT_EQ(r.line, c.line);
    EXPECT_EQ(r.column, c.column);
    EXPECT_EQ(r.Restored(), c.restored);

    // The offset and the sentence are the core's own.
    scrivlock::source::TSourceClass core;
    scrivlock::TByteStream s(c.stripped), m(c.module), restored;
    ASSERT_FALSE(core.ReComment(s, m, restored));
    EXPECT_EQ(r.offset, core.LastStop().Offset);
    EXPECT_EQ(r.module_offset, core.LastStop().ModuleOffset);
    ASSERT_NE(r.description, nullptr);
    EXPECT_EQ(r.description, core.LastStop().Describe());
  }
}

TEST(CoreApiTest, NullAndEmptyInputsGetAnAnswerNotACrash) {
  const char text[] = "{ a }";
  // Each failing call gets fresh records: a record is the caller's to free
  // before it is used again.
  using TCall = int (*)(const char*, TUncommented&, TRecommented&);
  struct {
    const char* name;
    TCall call;
    int expected;
  } calls[] = {
      {"no result record",
       [](const char* t, TUncommented&, TRecommented&) {
         return scrivlock_uncomment(t, 5, "A.pas", "B", 0, nullptr, 0, nullptr);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"no file name",
       [](const char* t, TUncommented& u, TRecommented&) {
         return scrivlock_uncomment(t, 5, nullptr, "B", 0, nullptr, 0, &u);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"no module name",
       [](const char* t, TUncommented& u, TRecommented&) {
         return scrivlock_uncomment(t, 5, "A.pas", nullptr, 0, nullptr, 0, &u);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"a null text with a length",
       [](const char*, TUncommented& u, TRecommented&) {
         return scrivlock_uncomment(nullptr, 5, "A.pas", "B", 0, nullptr, 0, &u);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"no such dialect",
       [](const char* t, TUncommented& u, TRecommented&) {
         return scrivlock_uncomment(t, 5, "A.pas", "B", 3, nullptr, 0, &u);
       },
       SCRIVLOCK_E_ARGUMENT},
      // Lengths past what a text may hold are refused before a byte is read.
      {"a text past 2 GB",
       [](const char* t, TUncommented& u, TRecommented&) {
         return scrivlock_uncomment(t, size_t{1} << 31, "A.pas", "B", 0, nullptr, 0, &u);
       },
       SCRIVLOCK_E_MEMORY},
      {"no result record to re-comment into",
       [](const char* t, TUncommented&, TRecommented&) {
         return scrivlock_recomment(t, 5, t, 5, nullptr);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"a null module with a length",
       [](const char* t, TUncommented&, TRecommented& r) {
         return scrivlock_recomment(t, 5, nullptr, 1, &r);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"a module past 2 GB",
       [](const char* t, TUncommented&, TRecommented& r) {
         return scrivlock_recomment(t, 5, t, size_t{1} << 31, &r);
       },
       SCRIVLOCK_E_MEMORY},
      {"no unit name",
       [](const char* t, TUncommented&, TRecommented&) {
         return scrivlock_is_module_of(t, 5, nullptr);
       },
       SCRIVLOCK_E_ARGUMENT},
      {"a null module to test",
       [](const char*, TUncommented&, TRecommented&) {
         return scrivlock_is_module_of(nullptr, 1, "A.pas");
       },
       SCRIVLOCK_E_ARGUMENT},
      {"an empty module",
       [](const char*, TUncommented&, TRecommented&) {
         return scrivlock_is_module_of(nullptr, 0, "A.pas");
       },
       0},
      {"no entry to fill",
       [](const char* t, TUncommented&, TRecommented&) {
         return scrivlock_foresee_skip_problem(t, 5, 0, nullptr, nullptr);
       },
       SCRIVLOCK_E_ARGUMENT},
  };
  for (const auto& c : calls) {
    TUncommented u;
    TRecommented r;
    EXPECT_EQ(c.call(text, u, r), c.expected) << c.name;
    // A failed call hands out no text, and says why where it has a record.
    EXPECT_EQ(u.stripped, nullptr) << c.name;
    EXPECT_EQ(u.module, nullptr) << c.name;
    EXPECT_EQ(r.restored, nullptr) << c.name;
  }
  TUncommented u;
  ASSERT_EQ(scrivlock_uncomment(nullptr, 5, "A.pas", "B", 0, nullptr, 0, &u), SCRIVLOCK_E_ARGUMENT);
  ASSERT_NE(u.message, nullptr);
  EXPECT_STRNE(u.message, "");
  TRecommented r;
  ASSERT_EQ(scrivlock_recomment(text, 5, nullptr, 1, &r), SCRIVLOCK_E_ARGUMENT);
  ASSERT_NE(r.description, nullptr);
  EXPECT_STRNE(r.description, "");

  // An empty unit is a unit: it round-trips.
  TUncommented empty;
  empty.code =
      scrivlock_uncomment(nullptr, 0, "A.pas", "B", SCRIVLOCK_DIALECT_AUTO, nullptr, 1, &empty);
  ASSERT_EQ(empty.code, SCRIVLOCK_OK);
  TRecommented back;
  Recomment(back, empty.Stripped(), empty.Module());
  EXPECT_EQ(back.code, SCRIVLOCK_OK);
  EXPECT_EQ(back.Restored(), "");
  EXPECT_NE(back.restored, nullptr);  // an empty text is still a text to free

  TRecommented nothing;
  nothing.code = scrivlock_recomment(nullptr, 0, nullptr, 0, &nothing);
  EXPECT_EQ(nothing.code, SCRIVLOCK_STOPPED);
  EXPECT_EQ(nothing.reason, SCRIVLOCK_RS_NO_ENTRIES);

  scrivlock_free(nullptr);
}

TEST(CoreApiTest, TellsAUnitsModuleFromOthers) {
  TUncommented u;
  Uncomment(u, "unit Unit1; { a } end.");
  ASSERT_EQ(u.code, SCRIVLOCK_OK);
  struct {
    const char* unitFileName;
    std::string module;
    int expected;
  } cases[] = {
      {"Unit1.pas", u.Module(), 1},   {"unit1.pas", u.Module(), 0},  // case matters
      {"Unit3.pas", u.Module(), 0},   {"", u.Module(), 0},
      {"Unit1.pas", u.Stripped(), 0}, {"Unit1.pas", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scrivlock_is_module_of(c.module.data(), c.module.size(), c.unitFileName), c.expected)
        << c.unitFileName << " in " << c.module.substr(0, 20);
  }
}

TEST(CoreApiTest, ForeseesAModuleTheCompilerCannotSkip) {
  struct {
    const char* name;
    std::string unit;
    int dialect;
    const char* projectMode;
    int expected;
    long entry;
  } cases[] = {
      {"plain comments", "{ a }(* b *)// c\r\nx", SCRIVLOCK_DIALECT_DELPHI, nullptr, 0, 0},
      {"an opener on a later line", "{a}(* one\r\n{ two\r\n*)", SCRIVLOCK_DIALECT_DELPHI, nullptr,
       1, 2},
      {"nesting, delphi", "{ one\r\n (* two }", SCRIVLOCK_DIALECT_DELPHI, nullptr, 0, 0},
      {"nesting, fpc", "{ one\r\n (* two }", SCRIVLOCK_DIALECT_FPC, nullptr, 1, 1},
      {"nesting, an objfpc project", "{ one\r\n (* two }", SCRIVLOCK_DIALECT_AUTO, "objfpc", 1, 1},
      {"nesting, a delphi project", "{ one\r\n (* two }", SCRIVLOCK_DIALECT_AUTO, "delphi", 0, 0},
  };
  for (const auto& c : cases) {
    TUncommented u;
    // The unit is stripped as a delphi unit always, so only the module's
    // dialect differs between the cases.
    Uncomment(u, c.unit);
    ASSERT_EQ(u.code, SCRIVLOCK_OK) << c.name;
    long entry = -1;
    EXPECT_EQ(
        scrivlock_foresee_skip_problem(u.module, u.module_size, c.dialect, c.projectMode, &entry),
        c.expected)
        << c.name;
    EXPECT_EQ(entry, c.entry) << c.name;
  }
  long entry = -1;
  EXPECT_EQ(scrivlock_foresee_skip_problem("x", 1, 9, nullptr, &entry), SCRIVLOCK_E_ARGUMENT);
}

// The texts a host of the caller's own shows are the commands' own, so that
// every host says the same.
TEST(CoreApiTest, GivesTheMessagesTheOtherHostsShow) {
  namespace m = scrivlock::commands;
  const char* unit = "/p/Unit1.pas";
  const char* module = "/p/Unit2.pas";
  const struct {
    int message;
    long number;
    const char* detail;
    std::string expected;
  } cases[] = {
      {SCRIVLOCK_MSG_SELECT_UNIT, 0, nullptr, m::MsgSelectUnit},
      {SCRIVLOCK_MSG_ALREADY_UNCOMMENTED, 0, nullptr, m::MsgAlreadyUncommented(unit, module)},
      {SCRIVLOCK_MSG_CANNOT_READ, 0, nullptr, m::MsgCannotRead(unit)},
      {SCRIVLOCK_MSG_REFUSED, SCRIVLOCK_UR_NOT_UNCOMMENTABLE, nullptr,
       m::MsgNotUncommentable(unit)},
      {SCRIVLOCK_MSG_REFUSED, SCRIVLOCK_UR_EXTENSION, nullptr, m::MsgNotPascalUnit(unit)},
      {SCRIVLOCK_MSG_REFUSED, SCRIVLOCK_UR_FILE_NAME, nullptr, m::MsgUnrecordableName(unit)},
      {SCRIVLOCK_MSG_REFUSED, SCRIVLOCK_UR_TOO_LARGE, nullptr, m::MsgTooLarge(unit)},
      {SCRIVLOCK_MSG_REFUSED, SCRIVLOCK_UR_FAILURE, nullptr, m::MsgUnCommentFailed(unit)},
      {SCRIVLOCK_MSG_REFUSED, 1000, nullptr, m::MsgUnCommentFailed(unit)},
      {SCRIVLOCK_MSG_REFUSED, -1, nullptr, m::MsgUnCommentFailed(unit)},
      {SCRIVLOCK_MSG_SEVERAL_MODULES, 3, nullptr, m::MsgSeveralModules(unit, 3)},
      {SCRIVLOCK_MSG_NO_MODULE, 0, nullptr, m::MsgNoModule(unit)},
      {SCRIVLOCK_MSG_MODULE_NOT_SKIPPABLE, 7, nullptr, m::MsgModuleNotSkippable(unit, module, 7)},
      {SCRIVLOCK_MSG_EMPTY_UNIT, 0, nullptr, m::MsgEmptyUnit(unit)},
      {SCRIVLOCK_MSG_ZERO_BYTE, 12, nullptr, m::MsgZeroByte(unit, 12)},
      {SCRIVLOCK_MSG_CANNOT_CREATE_MODULE, 0, nullptr, m::MsgCannotCreateModule(unit)},
      {SCRIVLOCK_MSG_CANNOT_FILL_MODULE, 0, nullptr, m::MsgCannotFillModule(unit, module)},
      {SCRIVLOCK_MSG_UNIT_NOT_STRIPPED, 0, nullptr, m::MsgUnitNotStripped(unit, module)},
      {SCRIVLOCK_MSG_UNIT_NOT_RESTORED, 0, nullptr, m::MsgUnitNotRestored(unit, module)},
      {SCRIVLOCK_MSG_CANNOT_READ_MODULE, 0, nullptr, m::MsgCannotReadModule(unit, module)},
      {SCRIVLOCK_MSG_RECOMMENT_STOPPED, 0, "marker {#4} does not match",
       m::MsgReCommentStopped(unit, module, "marker {#4} does not match")},
  };
  for (const auto& c : cases) {
    char* text = scrivlock_message(c.message, unit, module, c.number, c.detail);
    ASSERT_NE(text, nullptr) << c.message;
    EXPECT_EQ(std::string(text), c.expected) << c.message;
    scrivlock_free(text);
  }
  EXPECT_EQ(scrivlock_message(0, unit, module, 0, nullptr), nullptr);
  EXPECT_EQ(scrivlock_message(99, unit, module, 0, nullptr), nullptr);
  // Null names and details count as empty ones.
  char* text = scrivlock_message(SCRIVLOCK_MSG_RECOMMENT_STOPPED, nullptr, nullptr, 0, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), m::MsgReCommentStopped("", "", ""));
  scrivlock_free(text);

  text = scrivlock_message_at("Unit1.pas", 12, 5, "marker {#4}");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), m::MsgAt("Unit1.pas", 12, 5, "marker {#4}"));
  EXPECT_EQ(std::string(text), "Unit1.pas(12,5) Error: marker {#4}");
  scrivlock_free(text);
}

TEST(CoreApiTest, SaysItsVersions) {
  EXPECT_EQ(scrivlock_api_version(), SCRIVLOCK_API_VERSION);
  EXPECT_STREQ(scrivlock_version(), SCRIVLOCK_PROJECT_VERSION);
}

}  // namespace
