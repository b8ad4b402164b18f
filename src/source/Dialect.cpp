#include "source/Dialect.h"

#include <cstddef>

#include "source/NestedCloses.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

bool IsWordChar(char c) {
  return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || (c >= '0' && c <= '9');
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
  }
  return true;
}

// The word at `at` of `text`, moving `at` past it.
std::string_view Word(std::string_view text, size_t& at) {
  const size_t from = at;
  while (at < text.size() && IsWordChar(text[at])) ++at;
  return text.substr(from, at - from);
}

void SkipBlanks(std::string_view text, size_t& at) {
  while (at < text.size() &&
         (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
    ++at;
  }
}

}  // namespace

std::optional<TDialect> DialectOfMode(std::string_view mode) {
  for (std::string_view nesting : {"fpc", "objfpc"}) {
    if (SameWord(mode, nesting)) return dlFpc;
  }
  for (std::string_view flat :
       {"delphi", "delphiunicode", "tp", "macpas", "iso", "extendedpascal", "gpc"}) {
    if (SameWord(mode, flat)) return dlDelphi;
  }
  return std::nullopt;
}

std::optional<TDialect> UnitDialect(std::string_view text, TDialect start) {
  using Finder = scan::TScalarFinder;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  std::optional<TDialect> chosen;
  TDialect now = start;
  size_t at = 0;
  // Reads the directive whose name begins at `at`.
  const auto directive = [&] {
    const std::string_view name = Word(text, at);
    SkipBlanks(text, at);
    const std::string_view argument = Word(text, at);
    if (SameWord(name, "mode")) {
      if (const auto dialect = DialectOfMode(argument)) chosen = now = *dialect;
    } else if (SameWord(name, "modeswitch") && SameWord(argument, "nestedcomments")) {
      const bool off = at < text.size() && text[at] == '-';
      SkipBlanks(text, at);
      const std::string_view onOff = Word(text, at);
      chosen = now = off || SameWord(onOff, "off") ? dlDelphi : dlFpc;
    }
  };
  while (at < text.size()) {
    const char c = text[at];
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    const char* const p = begin + at;
    if (c == '\'') {
      const char* close = Finder::Find(p + 1, end, '\'');
      at = close < end ? static_cast<size_t>(close + 1 - begin) : text.size();
    } else if (c == '{' && next == '$') {
      at += 2;
      directive();
      const char* close = Finder::Find(begin + at, end, '}');
      at = close < end ? static_cast<size_t>(close + 1 - begin) : text.size();
    } else if (c == '(' && next == '*' && at + 2 < text.size() && text[at + 2] == '$') {
      at += 3;
      directive();
      const char* close = scan::FindParenClose<Finder>(begin + at, end);
      at = close < end ? static_cast<size_t>(close + 2 - begin) : text.size();
    } else if (c == '{') {
      const char* close = now == dlFpc
                              ? scan::FindNestedClose<scan::TBraceTokens<Finder>>(p + 1, end)
                              : Finder::Find(p + 1, end, '}');
      at = close < end ? static_cast<size_t>(close + 1 - begin) : text.size();
    } else if (c == '(' && next == '*') {
      const char* close = now == dlFpc
                              ? scan::FindNestedClose<scan::TParenTokens<Finder>>(p + 2, end)
                              : scan::FindParenClose<Finder>(p + 2, end);
      at = close < end ? static_cast<size_t>(close + 2 - begin) : text.size();
    } else if (c == '/' && next == '/') {
      at = static_cast<size_t>(scan::FindLineBreak<Finder>(p + 2, end) - begin);
    } else if (IsWordChar(c)) {
      const std::string_view word = Word(text, at);
      if (SameWord(word, "interface") || SameWord(word, "implementation") ||
          SameWord(word, "begin")) {
        break;
      }
    } else {
      ++at;
    }
  }
  return chosen;
}

TDialect AutoDialect(std::string_view text, std::optional<TDialect> project) {
  const TDialect fallback = project.value_or(dlFpc);
  return UnitDialect(text, fallback).value_or(fallback);
}

}  // namespace scrivlock::source
