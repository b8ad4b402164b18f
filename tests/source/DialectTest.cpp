#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "source/Dialect.h"

namespace scrivlock::source {
namespace {

TEST(DialectTest, AutoFollowsTheUnitThenTheProjectThenTheCompiler) {
  const std::optional<TDialect> none;
  struct {
    const char* name;
    std::string text;
    std::optional<TDialect> project;
    TDialect expected;
  } cases[] = {
      {"no mode: the compiler's default", "unit a; interface end.", none, dlFpc},
      {"no mode: the project's", "unit a; interface end.", dlDelphi, dlDelphi},
      {"delphi mode", "unit a; {$mode delphi} interface", dlFpc, dlDelphi},
      {"objfpc mode over the project's", "unit a;{$MODE ObjFPC}{$H+}\ninterface", dlDelphi, dlFpc},
      {"before the unit word", "{$mode tp}unit a; interface", none, dlDelphi},
      {"blanks and paren-star form", "(*$Mode  DelphiUnicode *) unit a;", none, dlDelphi},
      {"inside a conditional", "{$IFDEF FPC}{$MODE DELPHI}{$ENDIF} unit a;", none, dlDelphi},
      {"a mode in a comment is none", "{ {$mode delphi} } unit a; interface", none, dlFpc},
      {"in a line comment", "// {$mode delphi}\nunit a; interface", none, dlFpc},
      {"in a literal", "const s = '{$mode delphi}'; interface", none, dlFpc},
      {"after interface it is too late", "unit a; interface {$mode delphi}", none, dlFpc},
      {"a nest before the mode, in fpc", "{ a { b } {$mode delphi} } unit a;", none, dlFpc},
      {"no nest before it in delphi", "{ a { b } {$mode objfpc} } unit a;", dlDelphi, dlFpc},
      {"an unknown mode is none", "{$mode pascal} unit a;", dlDelphi, dlDelphi},
      {"modeswitch off", "{$mode objfpc}{$modeswitch nestedcomments-} unit a;", none, dlDelphi},
      {"modeswitch on", "{$mode delphi}{$modeswitch NestedComments} unit a;", none, dlFpc},
      {"other modeswitches", "{$mode delphi}{$modeswitch advancedrecords} unit a;", none, dlDelphi},
      {"unclosed directive at the end", "{$mode delphi", none, dlDelphi},
      {"empty text", "", dlDelphi, dlDelphi},
  };
  for (const auto& c : cases) EXPECT_EQ(AutoDialect(c.text, c.project), c.expected) << c.name;
}

TEST(DialectTest, ModeNames) {
  for (const char* mode : {"fpc", "OBJFPC"}) EXPECT_EQ(DialectOfMode(mode), dlFpc) << mode;
  for (const char* mode : {"delphi", "DelphiUnicode", "tp", "macpas", "iso", "extendedpascal"}) {
    EXPECT_EQ(DialectOfMode(mode), dlDelphi) << mode;
  }
  for (const char* mode : {"", "objfp", "default"}) EXPECT_EQ(DialectOfMode(mode), std::nullopt);
}

}  // namespace
}  // namespace scrivlock::source
