// ReComment's walk written plainly, the reference for the fast one (Walk.h).
#include <string>
#include <string_view>

#include "source/Record.h"
#include "source/Scan.h"
#include "source/Walk.h"

namespace scrivlock::source::walk {
namespace {

class TPlainWalk {
 public:
  TPlainWalk(std::string_view unit, record::TEntryReader& reader, std::string& out,
             TReCommentStop& stop)
      : FUnit(unit), FReader(reader), FOut(out), FStop(stop) {}

  // Walks the unit with the states of the scan, so that a quote inside a
  // comment opens no literal and "{#" inside a literal is no marker. Comments
  // added after uncommenting are copied, and markers inside them put back.
  bool Run() {
    enum { wsCode, wsString, wsBrace, wsParen, wsLine } state = wsCode;
    size_t parenText = 0;  // where the open "(*" comment's text begins
    size_t i = 0;
    while (i < FUnit.size()) {
      const char c = FUnit[i];
      size_t marker = 0;
      int32_t number = 0;
      if (c == '{' && state != wsString) marker = scan::MatchLongMarker(&FUnit[i], End(), number);
      if (marker != 0) {
        if (!Place(i, number)) return false;
        i = FKept = i + marker;
        // The marker's own "}" ends a brace comment; a restored line break a line comment.
        if (state == wsBrace || (state == wsLine && FLineClosed)) state = wsCode;
        continue;
      }
      switch (state) {
        case wsCode:
          if (c == '\'') {
            state = wsString;
          } else if (c == '(' && Holds(i + 1, '*')) {
            if (Holds(i + 2, '$')) {
              i += 2;  // "(*$" is a directive: its text is code
            } else {
              state = wsParen;
              parenText = ++i + 1;
            }
          } else if (c == '/' && Holds(i + 1, '/')) {
            if (const char* close = scan::SlashDirectiveClose(FUnit.data(), &FUnit[i], End())) {
              i = static_cast<size_t>(close - FUnit.data());  // the directive's own text
            } else {
              state = wsLine;
              ++i;
            }
          } else if (c == '{') {
            if (Holds(i + 1, '$')) {
              ++i;  // "{$" is a directive: its text is code
            } else {
              state = wsBrace;
            }
          }
          break;
        case wsString:
          if (c == '\'') state = wsCode;
          break;
        case wsBrace:
          if (c == '}') state = wsCode;
          break;
        case wsParen:
          if (c == ')' && i > parenText && FUnit[i - 1] == '*') state = wsCode;
          break;
        case wsLine:
          if (c == '\n') state = wsCode;
          break;
      }
      ++i;
    }
    // A literal left open runs to the end of the text, but the end marker
    // still counts when it ends the text exactly.
    if (state == wsString) {
      const size_t brace = FUnit.rfind('{');
      int32_t number = 0;
      if (brace != std::string_view::npos && brace >= FKept &&
          scan::MatchLongMarker(&FUnit[brace], End(), number) == FUnit.size() - brace) {
        if (!Place(brace, number)) return false;
        FKept = FUnit.size();
      }
    }
    FOut.append(FUnit.substr(FKept));
    return true;
  }

  // Whether the module's entries were all placed, but for the end record.
  bool NoneLeft() {
    if (FEndSeen || !FReader.AtEntry()) return true;
    record::TFields next;
    next.Kind = ckNone;
    FReader.ReadHead(next);
    if (next.Kind == ckEnd) return true;
    FRecord = next;
    return Stop(TReCommentStop::rsUnplacedEntry, FUnit.size(), 0);
  }

 private:
  const char* End() const { return FUnit.data() + FUnit.size(); }
  bool Holds(size_t at, char c) const { return at < FUnit.size() && FUnit[at] == c; }

  bool Stop(TReCommentStop::TReason reason, size_t at, int32_t marker) {
    FStop.Reason = reason;
    FStop.Marker = marker;
    FStop.Entry = FRecord.Number;
    FStop.Offset = static_cast<int64_t>(at);
    return false;
  }

  // Copies the text up to the marker at `at`, and puts the module's next entry
  // in its place when the entry's number is the marker's.
  bool Place(size_t at, int32_t marker) {
    FOut.append(FUnit.substr(FKept, at - FKept));
    if (FEndSeen) return Stop(TReCommentStop::rsAfterEnd, at, marker);
    if (!FReader.AtEntry()) {
      FRecord.Number = 0;
      return Stop(TReCommentStop::rsNoEntryLeft, at, marker);
    }
    const size_t entryAt = FReader.Cursor();
    std::string_view text;
    // An unreadable record leaves the last one's fields.
    const bool whole = FReader.ReadHead(FRecord) && FReader.ReadText(FRecord, text);
    if (FRecord.Kind == ckEnd) {
      if (FRecord.Number != marker) return Stop(TReCommentStop::rsWrongEndNumber, at, marker);
      FEndSeen = true;
      return true;
    }
    if (FRecord.Number != marker) return Stop(TReCommentStop::rsMismatch, at, marker);
    if (!whole) {
      FStop.ModuleOffset = static_cast<int64_t>(entryAt);
      return Stop(TReCommentStop::rsDamagedEntry, at, marker);
    }
    switch (FRecord.Kind) {
      case ckLine:
        FOut.append("//").append(text);
        break;
      case ckBrace:
        FOut.append("{").append(text).append("}");
        break;
      case ckParen:
        FOut.append("(*").append(text).append("*)");
        break;
      default:
        return Stop(TReCommentStop::rsUnknownKind, at, marker);
    }
    FLineClosed = FRecord.Kind == ckLine && !text.empty() && text.back() == '\n';
    return true;
  }

  const std::string_view FUnit;
  record::TEntryReader& FReader;
  std::string& FOut;
  TReCommentStop& FStop;
  record::TFields FRecord;   // the last entry's record read
  size_t FKept = 0;          // the first byte of the unit not yet copied
  bool FEndSeen = false;     // the end record was read
  bool FLineClosed = false;  // the entry just placed was a line comment that ended its line
};

}  // namespace

bool Plain(std::string_view stripped, std::string_view module, std::string& restored,
           TReCommentStop& stop) {
  restored.clear();
  stop = TReCommentStop();
  record::TEntryReader reader(module);
  if (!reader.SkipHeader()) {
    stop.Reason = TReCommentStop::rsNoEntries;
    return false;
  }
  TPlainWalk walk(stripped, reader, restored, stop);
  return walk.Run() && walk.NoneLeft();
}

}  // namespace scrivlock::source::walk
