// Where nested comments close, for the scan of one unit (UnComment, dlFpc).
// Internal to the source processor.
//
// A nested comment that never closes runs to the end of the text, and the scan
// then reads it as one that does not nest (it ends at its first close) and
// goes on. Searching to the end again for each such comment costs the rest of
// the text each time: a unit of many of them took quadratic time. The first
// search that runs to the end is remembered instead, and answers for every
// later comment whether its search would run to the end too, with one more
// pass over the rest of the text in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "source/Scan.h"

namespace scrivlock::source::scan {

// The tokens that change a nest's depth, as the compiler reads them. One
// reader walks forward through a text:
//   Next(p, end, step): the first token at or after `p`, reading on from a
//     token boundary at `p` (not before the last one returned); `step` +1 for
//     an open, -1 for a close; end when none is left.
//   kLength: a token's length.
template <class TFinder>
class TBraceTokens {
 public:
  static constexpr size_t kLength = 1;
  // Opens and closes are found by one search: each byte between two tokens is
  // read once.
  const char* Next(const char* p, const char* end, int& step) {
    const char* const token = TFinder::FindEither(p, end, '{', '}');
    step = token < end && *token == '{' ? 1 : -1;
    return token;
  }
};

// "(*" opens one more level, unless a ")" follows it at once: then its "*)"
// closes one ("(*)"). Both tokens hold a "*", so the search jumps from one to
// the next.
template <class TFinder>
class TParenTokens {
 public:
  static constexpr size_t kLength = 2;
  const char* Next(const char* p, const char* end, int& step) {
    for (;;) {
      const char* star = TFinder::Find(p, end, '*');
      if (star == end) return end;
      const bool closes = star + 1 < end && star[1] == ')';
      if (star > p && star[-1] == '(' && !closes) {
        step = 1;
        return star - 1;
      }
      if (closes) {
        step = -1;
        return star;
      }
      p = star + 1;
    }
  }
};

// The close of the nested comment whose text begins at `p` (after its open), or end.
template <class TTokens>
const char* FindNestedClose(const char* p, const char* end) {
  TTokens tokens;
  int64_t depth = 1;
  for (int step = 0;; p += TTokens::kLength) {
    p = tokens.Next(p, end, step);
    if (p == end || (depth += step) == 0) return p;
  }
}

// Nested comments of one kind in one text, asked for in increasing order of
// their text's position.
template <class TTokens>
class TNestedCloses {
 public:
  explicit TNestedCloses(const char* end) : FEnd(end) {}

  // The scan asks about no text before `p` from now on: what the remembered
  // search needs of the text before it is read now (the scan may then give
  // that memory back).
  void Pass(const char* p) {
    if (FFrom != nullptr && p > FCursor) Advance(p);
  }

  // The close of the comment whose text begins at `text`, or end when the
  // comment nests open to the end of the text.
  const char* Find(const char* text) {
    if (FFrom == nullptr || text < FCursor) {
      const char* close = FindNestedClose<TTokens>(text, FEnd);
      if (close == FEnd) Remember(text);
      return close;
    }
    // Read from FFrom, the text from FCursor on is tokenized as a search from
    // `text` tokenizes it, with the depths of that search shifted by FDepth - 1:
    // it reaches depth 0 where the remembered one falls below FDepth.
    Advance(text);
    while (FLow < FLows.size() && FLows[FLow].first < FCursor) ++FLow;
    if (FLow == FLows.size() || FLows[FLow].second >= FDepth) return FEnd;
    // It closes: where the remembered search first falls below FDepth. The
    // cursor reads on to there, so that the comment's text is not read again
    // when the scan asks about the next one.
    const int64_t floor = FDepth;
    for (int step = 0;;) {
      const char* const p = FCursorTokens.Next(FCursor, FEnd, step);
      if (p == FEnd) return FEnd;
      FDepth += step;
      FCursor = p + TTokens::kLength;
      if (FDepth < floor) return p;
    }
  }

 private:
  // A search from `text` ran to the end: keeps the depths it passed through.
  void Remember(const char* text) {
    FFrom = FCursor = text;
    FDepth = 1;
    FLows.clear();
    FLow = 0;
    FCursorTokens = TTokens();
    TTokens tokens;
    int64_t depth = 1;
    int step = 0;
    for (const char* p = tokens.Next(text, FEnd, step); p != FEnd;
         p = tokens.Next(p + TTokens::kLength, FEnd, step)) {
      depth += step;
      if (step > 0) continue;
      // Only a close lower than every later one can be where a later search
      // first reaches depth 0.
      while (!FLows.empty() && FLows.back().second >= depth) FLows.pop_back();
      FLows.emplace_back(p, depth);
    }
  }

  // Moves FCursor to the first token boundary of the remembered search at or
  // after `text`, FDepth counting the tokens passed.
  void Advance(const char* text) {
    int step = 0;
    for (;;) {
      const char* p = FCursorTokens.Next(FCursor, FEnd, step);
      if (p >= text) break;
      FDepth += step;
      FCursor = p + TTokens::kLength;
    }
    if (FCursor < text) FCursor = text;
  }

  const char* const FEnd;
  const char* FFrom = nullptr;  // where the remembered search began; null: none yet
  const char* FCursor = nullptr;
  TTokens FCursorTokens;  // reading on from FCursor
  int64_t FDepth = 0;     // the remembered search's depth at FCursor
  // The closes lower than every later one, and the depth after each: rising
  // in both.
  std::vector<std::pair<const char*, int64_t>> FLows;
  size_t FLow = 0;  // the first of FLows at or after FCursor
};

}  // namespace scrivlock::source::scan
