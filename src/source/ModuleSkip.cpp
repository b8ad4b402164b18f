#include "source/ModuleSkip.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "source/NestedCloses.h"
#include "source/Record.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

constexpr std::string_view kBodyStart = "{$ifopt R-}";

enum TConditional { cdNone, cdOpen, cdElse, cdClose };

// What the directive whose name begins at `p` does to the skipping scanner's
// stack of conditionals; it passes over the others as comments.
TConditional ConditionalAt(const char* p, const char* end) {
  const char* q = p;
  while (q < end &&
         (((*q | 0x20) >= 'a' && (*q | 0x20) <= 'z') || (*q >= '0' && *q <= '9') || *q == '_')) {
    ++q;
  }
  const std::string_view name(p, static_cast<size_t>(q - p));
  const auto is = [name](std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [name](std::string_view conditional) {
      return name.size() == conditional.size() &&
             std::equal(name.begin(), name.end(), conditional.begin(),
                        [](char a, char b) { return (a | 0x20) == b; });
    });
  };
  if (is({"if", "ifdef", "ifndef", "ifopt", "ifc"})) return cdOpen;
  if (is({"else", "elseif", "elsec", "elifc"})) return cdElse;
  if (is({"endif", "ifend", "endc"})) return cdClose;
  return cdNone;
}

// The number of the last entry whose head begins at or before `at`; 0 when
// none does. Read only as far as `at`: a problem early in a big module costs
// no pass over the rest of it.
int32_t EntryAt(std::string_view module, size_t at) {
  int32_t entry = 0;
  record::TEntryReader reader(module);
  if (!reader.SkipHeader()) return entry;
  record::TFields fields;
  std::string_view text;
  while (reader.AtEntry() && reader.Cursor() <= at) {
    if (!reader.ReadHead(fields) || !reader.ReadText(fields, text)) break;
    entry = fields.Number;
  }
  return entry;
}

// The skipping scanner's pass over the module's body, compiled once per finder
// (scan::Dispatch): ordinary code between the places where its state changes
// is passed over a vector at a time.
struct TForesight {
  std::string_view module;
  TDialect dialect;

  template <class Finder>
  TSkipProblem Run() const;
};

}  // namespace

TSkipProblem ForeseeSkipProblem(std::string_view module, TDialect dialect) {
  TForesight foresight{module, dialect};
  return scan::Dispatch(foresight);
}

template <class Finder>
TSkipProblem TForesight::Run() const {
  const size_t bodyAt = module.find(kBodyStart);
  const size_t last = module.rfind(record::kFooterStart);
  if (bodyAt == std::string_view::npos || last == std::string_view::npos || last == 0) return {};
  // The footer's first "{$endif}", where the skipping must end.
  const size_t footer = module.rfind(record::kFooterStart, last - 1);
  if (footer == std::string_view::npos || footer < bodyAt) return {};

  const char* const begin = module.data();
  const char* const end = begin + footer;
  const char* p = begin + bodyAt + kBodyStart.size();
  const auto problemAt = [&](const char* at) {
    return TSkipProblem{true, EntryAt(module, static_cast<size_t>(at - begin))};
  };
  // Conditionals that a text opens nest in the skipped body and are harmless
  // when closed there; one that closes or turns the module's own, or is left
  // open, is not.
  std::vector<const char*> opened;
  while (p < end) {
    const char c = *p;
    const char next = p + 1 < end ? p[1] : '\0';
    if (c == '\'') {
      // A literal ends at its quote or at the end of its line.
      const char* q = p + 1;
      while (q < end && *q != '\'' && *q != '\n' && *q != '\r') ++q;
      p = q < end && *q == '\'' ? q + 1 : q;
    } else if (c == '{' || (c == '(' && next == '*')) {
      const char* text = c == '{' ? p + 1 : p + 2;
      const bool directive = text < end && *text == '$';
      switch (directive ? ConditionalAt(text + 1, end) : cdNone) {
        case cdOpen:
          opened.push_back(p);
          break;
        case cdElse:
          if (opened.empty()) return problemAt(p);
          break;
        case cdClose:
          if (opened.empty()) return problemAt(p);
          opened.pop_back();
          break;
        case cdNone:
          break;
      }
      const char* close;
      if (c == '(' && directive) {
        close = scan::FindParenClose<Finder>(text, end);  // no nesting in a directive
      } else if (c == '{') {
        close = dialect == dlFpc ? scan::FindNestedClose<scan::TBraceTokens<Finder>>(text, end)
                                 : Finder::Find(text, end, '}');
      } else {
        close = dialect == dlFpc ? scan::FindNestedClose<scan::TParenTokens<Finder>>(text, end)
                                 : scan::FindParenClose<Finder>(text, end);
      }
      if (close >= end) return problemAt(p);  // it hides the footer
      p = close + (c == '{' ? 1 : 2);
    } else if (c == '/' && next == '/') {
      p = scan::FindLineBreak<Finder>(p + 2, end);
    } else {
      // The same places as the tests above: a quote, "{", "(*" and "//".
      p = Finder::Special(p + 1, end);
    }
  }
  if (!opened.empty()) return problemAt(opened.front());
  return {};
}

}  // namespace scrivlock::source
