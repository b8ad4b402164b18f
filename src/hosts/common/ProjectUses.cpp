#include "hosts/common/ProjectUses.h"

#include <algorithm>

#include "base/FileNames.h"

namespace scrivlock::hosts {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// Bytes of 0x80 and above count as letters: identifiers may be UTF-8.
bool IsIdentStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}

bool IsIdentChar(char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}

// The line break at `at`, or nothing.
std::string_view LineBreakAt(std::string_view text, size_t at) {
  if (at >= text.size() || (text[at] != '\r' && text[at] != '\n')) return {};
  return LineBreakOf(text.substr(at));
}

bool StartsLine(std::string_view text, size_t at) {
  return at > 0 && (text[at - 1] == '\n' || text[at - 1] == '\r');
}

enum TTokenKind { tkEnd, tkIdent, tkString, tkSymbol, tkOther };

struct TToken {
  TTokenKind Kind = tkEnd;
  size_t Start = 0;
  size_t Stop = 0;
};

// Object Pascal's tokens, with white space, comments and directives skipped.
class TScanner {
 public:
  explicit TScanner(std::string_view text) : FText(text) {}

  TToken Next() {
    SkipBlank();
    const size_t n = FText.size();
    TToken token{tkEnd, FPos, FPos};
    if (FPos >= n) return token;
    const char c = FText[FPos];
    if (IsIdentStart(c) || (c == '&' && FPos + 1 < n && IsIdentStart(FText[FPos + 1]))) {
      ++FPos;
      while (FPos < n && IsIdentChar(FText[FPos])) ++FPos;
      token.Kind = tkIdent;
    } else if (c == '\'') {
      // A quote doubled is one quote of the string; a string ends at the end
      // of its line at the latest.
      ++FPos;
      while (FPos < n && FText[FPos] != '\r' && FText[FPos] != '\n') {
        if (FText[FPos++] != '\'') continue;
        if (FPos < n && FText[FPos] == '\'') {
          ++FPos;
          continue;
        }
        break;
      }
      token.Kind = tkString;
    } else if (c >= '0' && c <= '9') {
      while (FPos < n && IsIdentChar(FText[FPos])) ++FPos;
      token.Kind = tkOther;
    } else {
      ++FPos;
      token.Kind = tkSymbol;
    }
    token.Stop = FPos;
    FGap = FPos;
    return token;
  }

  // Where the blank before the token Next returned last begins: after the
  // token or comment before it, and after the line break ending a line comment.
  size_t Gap() const { return FGapBefore; }

 private:
  void SkipBlank() {
    const size_t n = FText.size();
    for (;;) {
      while (FPos < n && IsBlank(FText[FPos])) ++FPos;
      if (FPos >= n) break;
      const std::string_view rest = FText.substr(FPos);
      if (rest[0] == '{') {
        const size_t close = FText.find('}', FPos + 1);
        FPos = close == std::string_view::npos ? n : close + 1;
        FGap = FPos;
      } else if (rest.starts_with("(*")) {
        const size_t close = FText.find("*)", FPos + 2);
        FPos = close == std::string_view::npos ? n : close + 2;
        FGap = FPos;
      } else if (rest.starts_with("//")) {
        FPos = FText.find_first_of("\r\n", FPos + 2);
        if (FPos == std::string_view::npos) FPos = n;
        // Nothing may follow a line comment on its line.
        FPos += LineBreakAt(FText, FPos).size();
        FGap = FPos;
      } else {
        break;
      }
    }
    FGapBefore = FGap;
  }

  std::string_view FText;
  size_t FPos = 0;
  size_t FGap = 0;  // end of the last token or comment
  size_t FGapBefore = 0;
};

class TReader {
 public:
  explicit TReader(std::string_view text) : FText(text), FScanner(text) {}

  TProjectUses Read() {
    TProjectUses uses;
    TToken token = FScanner.Next();
    if (IsWord(token, "program") || IsWord(token, "library")) {
      // The heading, parameters and all, up to its semicolon.
      int depth = 0;
      for (;;) {
        token = FScanner.Next();
        if (token.Kind == tkEnd) return uses;
        if (IsSymbol(token, '(')) ++depth;
        if (IsSymbol(token, ')')) --depth;
        if (IsSymbol(token, ';') && depth <= 0) break;
      }
      uses.HasHeading = true;
      token = FScanner.Next();
      // A clause is added in front of what follows the heading, so something must.
      if (token.Kind == tkEnd) return uses;
    } else if (!IsWord(token, "uses")) {
      return uses;
    }
    uses.ClauseGap = FScanner.Gap();
    if (!IsWord(token, "uses")) {
      uses.Readable = true;
      return uses;
    }
    uses.ClauseStart = token.Start;
    for (;;) {
      TUsesEntry entry;
      token = FScanner.Next();
      if (token.Kind != tkIdent) return uses;
      entry.Start = token.Start;
      entry.Unit = Text(token);
      entry.Stop = token.Stop;
      token = FScanner.Next();
      while (IsSymbol(token, '.')) {
        token = FScanner.Next();
        if (token.Kind != tkIdent) return uses;
        entry.Unit += '.' + Text(token);
        entry.Stop = token.Stop;
        token = FScanner.Next();
      }
      if (IsWord(token, "in")) {
        token = FScanner.Next();
        if (token.Kind != tkString || !Unquote(token, entry.InFile)) return uses;
        entry.Stop = token.Stop;
        token = FScanner.Next();
      }
      const bool last = IsSymbol(token, ';');
      if (!last && !IsSymbol(token, ',')) return uses;
      if (!last) entry.Comma = token.Start;
      uses.Entries.push_back(std::move(entry));
      if (last) {
        uses.ClauseStop = token.Start;
        uses.HasClause = true;
        uses.Readable = true;
        return uses;
      }
    }
  }

 private:
  std::string Text(const TToken& token) const {
    return std::string(FText.substr(token.Start, token.Stop - token.Start));
  }
  bool IsWord(const TToken& token, std::string_view word) const {
    return token.Kind == tkIdent &&
           SameText(FText.substr(token.Start, token.Stop - token.Start), word);
  }
  bool IsSymbol(const TToken& token, char symbol) const {
    return token.Kind == tkSymbol && FText[token.Start] == symbol;
  }
  // False for a string that runs to the end of its line unclosed.
  bool Unquote(const TToken& token, std::string& value) const {
    const std::string_view quoted = FText.substr(token.Start, token.Stop - token.Start);
    value.clear();
    for (size_t i = 1; i < quoted.size(); ++i) {
      if (quoted[i] != '\'') {
        value += quoted[i];
      } else if (i + 1 == quoted.size()) {
        return true;
      } else {
        value += quoted[++i];
      }
    }
    return false;
  }

  std::string_view FText;
  TScanner FScanner;
};

bool AllBlank(std::string_view text, size_t from, size_t to) {
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                     text.begin() + static_cast<std::ptrdiff_t>(to), IsBlank);
}

bool IsDottedIdent(std::string_view name) {
  bool start = true;
  for (const char c : name) {
    if (c == '.' && !start) {
      start = true;
    } else if (start ? IsIdentStart(c) : IsIdentChar(c)) {
      start = false;
    } else {
      return false;
    }
  }
  return !start;
}

}  // namespace

TProjectUses ReadProjectUses(std::string_view text) {
  return TReader(text).Read();
}

std::string_view LineBreakOf(std::string_view text) {
  const size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return "\r\n";
  if (text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

bool AddUsesEntry(std::string& text, std::string_view unit, std::string_view file) {
  if (!IsDottedIdent(unit)) return false;
  const TProjectUses uses = ReadProjectUses(text);
  if (!uses.Readable) return false;
  for (const TUsesEntry& entry : uses.Entries)
    if (SameText(entry.Unit, unit)) return false;
  const std::string eol(LineBreakOf(text));
  std::string entry = std::string(unit) + " in '";
  for (const char c : file) {
    entry += c;
    if (c == '\'') entry += c;
  }
  entry += '\'';
  if (uses.HasClause) {
    text.insert(uses.ClauseStop, "," + eol + "  " + entry);
  } else if (uses.HasHeading) {
    // On lines of its own: where a line starts (after a line comment), or
    // after a blank line.
    text.insert(uses.ClauseGap, StartsLine(text, uses.ClauseGap)
                                    ? "uses" + eol + "  " + entry + ";" + eol
                                    : eol + eol + "uses" + eol + "  " + entry + ";");
  } else {
    return false;
  }
  return true;
}

bool RemoveUsesEntry(std::string& text, std::string_view unit) {
  const TProjectUses uses = ReadProjectUses(text);
  if (!uses.HasClause) return false;
  const std::vector<TUsesEntry>& entries = uses.Entries;
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const TUsesEntry& e) { return SameText(e.Unit, unit); });
  if (found == entries.end()) return false;
  const TUsesEntry& entry = *found;
  const auto erase = [&](size_t from, size_t to) { text.erase(from, to - from); };
  if (entries.size() == 1) {
    if (!AllBlank(text, uses.ClauseGap, uses.ClauseStart) ||
        !AllBlank(text, uses.ClauseStart + 4, entry.Start) ||
        !AllBlank(text, entry.Stop, uses.ClauseStop)) {
      return false;
    }
    size_t stop = uses.ClauseStop + 1;
    const std::string_view eol = LineBreakOf(text);
    if (StartsLine(text, uses.ClauseGap) && std::string_view(text).substr(stop).starts_with(eol))
      stop += eol.size();
    erase(uses.ClauseGap, stop);
  } else if (found == entries.begin()) {
    const size_t next = entries[1].Start;
    if (AllBlank(text, entry.Stop, entry.Comma) && AllBlank(text, entry.Comma + 1, next)) {
      erase(entry.Start, next);
    } else {
      erase(entry.Comma, entry.Comma + 1);
      erase(entry.Start, entry.Stop);
    }
  } else {
    const size_t comma = (found - 1)->Comma;
    if (AllBlank(text, comma + 1, entry.Start)) {
      erase(comma, entry.Stop);
    } else {
      erase(entry.Start, entry.Stop);
      erase(comma, comma + 1);
    }
  }
  return true;
}

}  // namespace scrivlock::hosts
