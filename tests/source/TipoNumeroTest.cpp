#include <gtest/gtest.h>

#include "source/TipoNumero.h"

namespace scrivlock::source {
namespace {

TEST(TipoNumeroTest, FormatsFixedWidthRecords) {
  struct {
    int32_t number;
    TCommentKind kind;
    int32_t length;
    const char* text;
  } cases[] = {
      {1, ckBrace, 6, "00000001,Keys  ,00000006"},
      {12, ckLine, 0, "00000012,Bars  ,00000000"},
      {99999999, ckParen, 99999999, "99999999,Pars  ,99999999"},
      {100000000, ckEnd, 0, "100000000,Fin   ,00000000"},  // more digits move the fields
      {3, ckNone, 1, "00000003,      ,00000001"},
      {-5, ckLine, 0, "-00000005,Bars  ,00000000"},
  };
  for (const auto& c : cases) {
    TTipoNumero record;
    record.Number = c.number;
    record.Kind = c.kind;
    record.Length = c.length;
    EXPECT_EQ(record.ToText(), c.text);
  }
}

TEST(TipoNumeroTest, ReadsRecordsAndKeepsFieldsWhenItCannot) {
  struct {
    const char* text;
    bool ok;
    int32_t number;
    TCommentKind kind;
    int32_t length;
  } cases[] = {
      {"00000001,Keys  ,00000006", true, 1, ckBrace, 6},
      {"00000004,Fin   ,00000000", true, 4, ckEnd, 0},
      {"7,Pars,9,extra,items", true, 7, ckParen, 9},
      {"x,Bars,y", true, 0, ckLine, 0},                  // numbers that are none read as 0
      {"00000001,keys  ,00000006", true, 1, ckNone, 6},  // case matters
      {"00000001,Keyss ,00000006", true, 1, ckNone, 6},
      {"99999999999,Keys,1", true, 0, ckBrace, 1},          // overflow reads as 0
      {"00000001,Ke ys ,00000006", true, 1, ckNone, 0},     // a blank splits the name
      {"00000001,\"Keys\",00000006", true, 1, ckBrace, 6},  // a quoted name is one item
      {"0000001x,Keys  ,00000006", true, 0, ckBrace, 6},
      {"00000001,Keys", false, 50, ckParen, 60},
      {"", false, 50, ckParen, 60},
  };
  for (const auto& c : cases) {
    TTipoNumero record;
    record.Number = 50;
    record.Kind = ckParen;
    record.Length = 60;
    EXPECT_EQ(record.FromText(c.text), c.ok) << c.text;
    EXPECT_EQ(record.Number, c.number) << c.text;
    EXPECT_EQ(record.Kind, c.kind) << c.text;
    EXPECT_EQ(record.Length, c.length) << c.text;
  }
}

TEST(TipoNumeroTest, KindFromNameIsExact) {
  EXPECT_EQ(TTipoNumero::KindFromName("Bars"), ckLine);
  EXPECT_EQ(TTipoNumero::KindFromName("Keys"), ckBrace);
  EXPECT_EQ(TTipoNumero::KindFromName("Pars"), ckParen);
  EXPECT_EQ(TTipoNumero::KindFromName("Fin"), ckEnd);
  EXPECT_EQ(TTipoNumero::KindFromName(""), ckNone);
  EXPECT_EQ(TTipoNumero::KindFromName("FIN"), ckNone);
}

}  // namespace
}  // namespace scrivlock::source
