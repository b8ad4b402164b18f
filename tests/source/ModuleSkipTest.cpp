#include <gtest/gtest.h>

#include <string>

#include "SourceTestUtil.h"
#include "source/ModuleSkip.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

// Runs `check` once on each finder the processor has, then goes back to the
// one SCRIVLOCK_SIMD chose: the foresight passes over code a vector at a time.
template <class TCheck>
void OnEveryFinder(TCheck check) {
  const scan::TVectorSet chosen = scan::VectorSet();
  for (const scan::TVectorSet set : {scan::vsNone, scan::vsSse2, scan::vsAvx2}) {
    if (scan::UseVectorSet(set) == set) check(set);
  }
  scan::UseVectorSet(chosen);
}

// Long enough that a finder passes over it in whole vectors.
const std::string kLong(100, 'x');

TEST(ModuleSkipTest, NamesTheFirstCommentThatKeepsTheBodyFromBeingSkipped) {
  struct {
    const char* name;
    std::string unit;
    TDialect dialect;
    bool found;
    int32_t entry;
  } cases[] = {
      {"plain comments", "{ a }(* b *)// c\r\nx", dlDelphi, false, 0},
      {"one-line texts with openers", "{ ( * { (* }// {\r\n", dlDelphi, false, 0},
      {"an opener on a later line", "{a}(* one\r\n{ two\r\n*)", dlDelphi, true, 2},
      {"paren-star closed by the next record", "{ one\r\n (* two }", dlDelphi, false, 0},
      {"which nests in fpc", "{ one\r\n (* two }", dlFpc, true, 1},
      {"other directives are passed over", "(* one\r\n{$R+} *)", dlDelphi, false, 0},
      {"a conditional left open", "(* one\r\n{$ifdef x} *)", dlDelphi, true, 1},
      {"conditionals closed in the text", "(* one\r\n{$ifdef x}\r\n{$else}{$endif} *)", dlDelphi,
       false, 0},
      {"an else of the module's own", "{a}(* one\r\n{$else} *)", dlDelphi, true, 2},
      {"an endif of the module's own", "(* one\r\n{$endif} *)", dlDelphi, true, 1},
      {"opened in one comment, closed in another", "(* a\r\n{$if x} *)(* b\r\n{$ifend} *)",
       dlDelphi, false, 0},
      {"a brace closed on its own line", "(* one\r\n{ two } *)", dlDelphi, false, 0},
      {"a directive on a later line", "{ one\r\n{$endif} }", dlFpc, true, 1},
      {"a quote that reopens nothing", "{ it's\r\n fine }", dlDelphi, false, 0},
      {"a nest closed on its line, fpc", "(* a\r\n{ { b } } *)", dlFpc, false, 0},
      {"the same unclosed without nesting", "(* a\r\n{ { b } *)", dlFpc, true, 1},
      {"openers past long runs of code",
       "{" + kLong + "}" + kLong + "(* " + kLong + "\r\n{ " + kLong + " *)", dlDelphi, true, 2},
      {"a long line of slashes and parens", "{ a\r\n" + kLong + "( / ) / (" + kLong + "}" + kLong,
       dlDelphi, false, 0},
      {"an opener in a literal far into a long text", "{ a\r\n" + kLong + "'{" + kLong + "\r\n}",
       dlDelphi, false, 0},
      {"the same opener without the quote", "{ a\r\n" + kLong + "{" + kLong + "\r\n}", dlDelphi,
       true, 1},
      {"a conditional far into a long text", "(* " + kLong + "\r\n" + kLong + "{$ifdef x} *)",
       dlDelphi, true, 1},
  };
  OnEveryFinder([&](scan::TVectorSet set) {
    for (const auto& c : cases) {
      const auto u = test::Uncomment(c.unit, "Unit1.pas", "Unit2", {c.dialect, false});
      ASSERT_TRUE(u.ok) << c.name;
      const TSkipProblem problem = ForeseeSkipProblem(u.module, c.dialect);
      EXPECT_EQ(problem.Found, c.found) << c.name << ", finder " << set;
      if (c.found) {
        EXPECT_EQ(problem.Entry, c.entry) << c.name << ", finder " << set;
      }
    }
  });
}

TEST(ModuleSkipTest, TheUnitsFileNameAndTextsThatAreNoModule) {
  const auto u = test::Uncomment("{x}", "a{$ifdef.pas");
  ASSERT_TRUE(u.ok);
  EXPECT_TRUE(ForeseeSkipProblem(u.module, dlDelphi).Found);
  EXPECT_EQ(ForeseeSkipProblem(u.module, dlDelphi).Entry, 0);
  for (const char* text : {"", "unit a; interface end.", "{$ifopt R-}{ open"}) {
    EXPECT_FALSE(ForeseeSkipProblem(text, dlDelphi).Found) << text;
  }
}

}  // namespace
}  // namespace scrivlock::source
