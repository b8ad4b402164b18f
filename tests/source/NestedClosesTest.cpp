// The remembered search for nested comments must answer exactly as a search
// of its own from each comment would: for texts full of comments that never
// close, "(*)" tokens and nests that close far away.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "source/NestedCloses.h"
#include "source/Scan.h"

namespace {

using namespace scrivlock::source;

// The text positions of every open that the scan could ask about: after each
// "{" or "(*", in order.
template <class TTokens>
std::vector<size_t> Texts(const std::string& text) {
  std::vector<size_t> at;
  for (size_t i = 0; i < text.size(); ++i) {
    if (TTokens::kLength == 1 && text[i] == '{') at.push_back(i + 1);
    if (TTokens::kLength == 2 && i + 1 < text.size() && text[i] == '(' && text[i + 1] == '*') {
      at.push_back(i + 2);
    }
  }
  return at;
}

// Asks the remembered search about every `step`-th open, as the scan would
// (each comment's close, or the end, then the next open after it), and the
// direct search about the same ones.
template <class TTokens>
void ExpectSameCloses(const std::string& text, size_t step, const std::string& name) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  scan::TNestedCloses<TTokens> closes(end);
  size_t n = 0;
  for (const size_t at : Texts<TTokens>(text)) {
    if (n++ % step != 0) continue;
    const char* expected = scan::FindNestedClose<TTokens>(begin + at, end);
    ASSERT_EQ(closes.Find(begin + at) - begin, expected - begin)
        << name << ": the comment whose text begins at " << at << " of\n"
        << text;
  }
}

TEST(NestedClosesTest, AnswersAsTheDirectSearch) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"none left open", "{a} {b {c} d} (*e*) (*f (*g*) h*)"},
      {"an open brace nest, then closed ones", "{ a { b } x {c} y {d {e}} z"},
      {"an open nest closing a later one", "{ a { b } { c } } } d { e }"},
      {"two opens deep", "{ { { a } b } {c} } {d} { e"},
      {"paren open, then closed", "(* a (* b *) c (*d*) e (* f (* g *) *) h"},
      {"(*) closes a level", "(* a (*) b *) c (*) d (* e *) (* f (*) g"},
      {"(*) straddles the cursor", "(* a (* b (*) c (*) (* d *) e"},
      {"opens at the very end", "{ a {"},
      {"paren at the very end", "(* a (*"},
  };
  for (const auto& c : cases) {
    for (size_t step : {1, 2}) {
      ExpectSameCloses<scan::TBraceTokens<scan::TScalarFinder>>(c.text, step, c.name);
      ExpectSameCloses<scan::TParenTokens<scan::TScalarFinder>>(c.text, step, c.name);
    }
  }
}

TEST(NestedClosesTest, AnswersAsTheDirectSearchOnRandomTexts) {
  std::mt19937 random(20261211);
  const std::string alphabet = "{}(*) x";
  for (int round = 0; round < 3000; ++round) {
    std::string text(1 + random() % 60, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const size_t step = 1 + random() % 3;
    ExpectSameCloses<scan::TBraceTokens<scan::TScalarFinder>>(text, step, "random");
    ExpectSameCloses<scan::TParenTokens<scan::TScalarFinder>>(text, step, "random");
  }
}

// Every token of `text` with its step, as TTokens reads them from the start.
template <class TTokens>
std::vector<std::pair<size_t, int>> Tokens(const std::string& text) {
  std::vector<std::pair<size_t, int>> tokens;
  const char* const end = text.data() + text.size();
  TTokens reader;
  int step = 0;
  for (const char* p = reader.Next(text.data(), end, step); p != end;
       p = reader.Next(p + TTokens::kLength, end, step)) {
    tokens.emplace_back(p - text.data(), step);
  }
  return tokens;
}

// The vector finders read a text in blocks of 16 and 32 with a byte-at-a-time
// rest: tokens on both sides of each block's edge, and texts that end there.
TEST(NestedClosesTest, EveryFinderReadsTheSameTokens) {
  const scan::TVectorSet chosen = scan::VectorSet();
  std::mt19937 random(20261211);
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 100, 'x');
    for (int token = random() % 4; token > 0; --token) {
      if (!text.empty()) text[random() % text.size()] = "{}(*)"[random() % 5];
    }
    const auto expectedBraces = Tokens<scan::TBraceTokens<scan::TScalarFinder>>(text);
    const auto expectedParens = Tokens<scan::TParenTokens<scan::TScalarFinder>>(text);
#if defined(SCRIVLOCK_X86)
    EXPECT_EQ(Tokens<scan::TBraceTokens<scan::TSse2Finder>>(text), expectedBraces) << text;
    EXPECT_EQ(Tokens<scan::TParenTokens<scan::TSse2Finder>>(text), expectedParens) << text;
    if (scan::UseVectorSet(scan::vsAvx2) == scan::vsAvx2) {
      EXPECT_EQ(Tokens<scan::TBraceTokens<scan::TAvx2Finder>>(text), expectedBraces) << text;
      EXPECT_EQ(Tokens<scan::TParenTokens<scan::TAvx2Finder>>(text), expectedParens) << text;
    }
#endif
  }
  scan::UseVectorSet(chosen);
}

}  // namespace
