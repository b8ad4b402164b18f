// The commenting module's entries: how one is laid out, written and read.
// Internal to the source processor; every writer and reader of entries, the
// scan's and the walk's fast ones included, takes the layout from here.
//
// An entry as UnComment writes it:
//
//   "(*" record "*)" CR LF "'" text "'" CR LF
//
// where the record is "%-8.8d,%-6.6s,%-8.8d" of number, kind name and length,
// e.g. "00000001,Keys  ,00000006": 24 characters while both numbers stay below
// 100000000 (a larger number takes more digits and moves the fields after it).
// After the last entry, the end record's, comes the footer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "source/CommentKind.h"

namespace scrivlock::source::record {

struct TFields {
  int32_t Number = 0;          // entry number; the same number stands in the entry's marker
  TCommentKind Kind = ckLine;  // zero, as every field of a new record
  int32_t Length = 0;          // bytes of comment text stored in the entry
};

inline constexpr std::string_view kOpen = "(*";
inline constexpr std::string_view kClose = "*)";
inline constexpr std::string_view kHeadEnd = "*)\r\n'";  // after the record, up to the text
inline constexpr std::string_view kTail = "'\r\n";       // after the text
inline constexpr std::string_view kFooter = "{$endif}\r\n{$endif}\r\nimplementation\r\nend.";
inline constexpr std::string_view kFooterStart = kFooter.substr(0, 8);  // "{$endif}"

// The record of a head as UnComment writes it, numbers below 100000000.
inline constexpr size_t kDigits = 8;
inline constexpr size_t kNameWidth = 6;
inline constexpr size_t kNumberAt = kOpen.size();            // in the head
inline constexpr size_t kNameAt = kNumberAt + kDigits;       // the comma before the name
inline constexpr size_t kNameField = 1 + kNameWidth + 1;     // ",Keys  ,"
inline constexpr size_t kLengthAt = kNameAt + kNameField;    // in the head
inline constexpr size_t kCloseAt = kLengthAt + kDigits;      // "*)" in the head
inline constexpr size_t kRecord = kCloseAt - kNumberAt;      // 24
inline constexpr size_t kHead = kCloseAt + kHeadEnd.size();  // 31, up to the text
inline constexpr size_t kMaxRecord = 40;                     // room for any record
inline constexpr size_t kMaxHead = kMaxRecord + kOpen.size() + kHeadEnd.size();

// Each kind's name field with its commas, ",Keys  ,", from CommentKindNames.
inline constexpr auto kNameFields = [] {
  std::array<std::array<char, kNameField>, 5> fields{};
  for (size_t kind = 0; kind < fields.size(); ++kind) {
    std::array<char, kNameField>& field = fields[kind];
    for (char& c : field) c = ' ';
    field.front() = field.back() = ',';
    const std::string_view name = CommentKindNames[kind];
    for (size_t i = 0; i < name.size() && i < kNameWidth; ++i) field[1 + i] = name[i];
  }
  return fields;
}();

// A head of each comment kind and of the end record as UnComment writes it,
// with "0" where any decimal digit may stand (no other byte of it is a "0").
inline constexpr auto kHeadPatterns = [] {
  std::array<std::array<char, kHead>, 4> patterns{};
  for (size_t kind = 0; kind < patterns.size(); ++kind) {
    std::array<char, kHead>& head = patterns[kind];
    size_t at = 0;
    for (char c : kOpen) head[at++] = c;
    for (size_t i = 0; i < kDigits; ++i) head[at++] = '0';
    for (char c : kNameFields[kind]) head[at++] = c;
    for (size_t i = 0; i < kDigits; ++i) head[at++] = '0';
    for (char c : kHeadEnd) head[at++] = c;
  }
  return patterns;
}();
static_assert([] {
  for (const auto& head : kHeadPatterns) {
    for (size_t at = 0; at < kHead; ++at) {
      const bool digit = (at >= kNumberAt && at < kNumberAt + kDigits) ||
                         (at >= kLengthAt && at < kLengthAt + kDigits);
      if ((head[at] == '0') != digit) return false;
    }
  }
  return true;
}());

// The kind whose name is exactly `name` (case matters); ckNone when none is.
TCommentKind KindFromName(std::string_view name);

// The kind whose name begins with `letter`, as far as the first letter tells:
// the names differ in its low four bits. -1 for a letter that begins no name.
inline int KindByLetter(char letter) {
  constexpr auto kByLetter = [] {
    std::array<int8_t, 16> table{};
    for (int8_t& kind : table) kind = -1;
    for (int kind = ckLine; kind < ckNone; ++kind) {
      table[CommentKindNames[kind][0] & 15] = static_cast<int8_t>(kind);
    }
    return table;
  }();
  static_assert(
      [] {
        for (int a = ckLine; a < ckNone; ++a) {
          for (int b = a + 1; b < ckNone; ++b) {
            if ((CommentKindNames[a][0] & 15) == (CommentKindNames[b][0] & 15)) return false;
          }
        }
        return true;
      }(),
      "the kind names must differ in the low bits of their first letter");
  return kByLetter[letter & 15];
}

// Writes the record of `fields` at `out`, which has room for kMaxRecord bytes,
// and returns its end. A kind past ckNone is written as ckNone's empty name.
char* FormatRecord(char* out, const TFields& fields);
// Writes "(*", the record, "*)", CR LF and the opening quote at `out`, which
// has room for kMaxHead bytes, and returns the end.
char* FormatHead(char* out, const TFields& fields);
// Writes `value` as "%-8.8d" does (at least eight digits, zero-filled, sign in
// front) at `out`, which has room for 12 bytes; returns the end.
char* FormatNumber(char* out, int32_t value);

// Reads a record text: the items of SplitItems are number, kind name and
// length; items after the third are ignored. A number that is not one reads
// as 0, a name that is none as ckNone. False, with `fields` unchanged, when
// the text splits into fewer than three items. Never throws.
bool ParseRecord(std::string_view text, TFields& fields);

// Reads the kRecord bytes at `p` as the record UnComment writes: eight digits,
// the name field of a comment kind or the end record, eight digits. False,
// with `fields` unchanged, when they are anything else.
bool ParseStandardRecord(const char* p, TFields& fields);

// Reads a module's entries in order, a piece at a time, as plainly as the
// layout allows. The walk's fast reading of standard entries must come to
// the same result as this reader on every module.
//
// An entry reads as its record says when its head is whole ("(*", a record
// that reads, "*)", a line break and the opening quote) and its text ends in
// the closing quote, a line break and what follows the entry: the next
// entry's whole head, numbered one more, or after the end record the footer.
// The text is taken at its stored length when that fits; otherwise (a text
// edited inside the module, or line breaks converted from CR LF to LF) it runs
// to the first closing quote and line break that the next entry's "(*" or the
// footer follows, and a whole head before that is a damaged entry. A line
// break is CR LF or LF.
class TEntryReader {
 public:
  explicit TEntryReader(std::string_view module) : FText(module) {}

  // Moves onto the "(*" that opens the first entry; false when there is none.
  bool SkipHeader();
  // Whether an entry's "(*" stands at the cursor.
  bool AtEntry() const { return StartsWith(FCursor, kOpen); }

  // Reads the record of the entry at the cursor into `fields` (a record that
  // cannot be read leaves them as they were) and moves on to its text. True
  // when the head is whole.
  bool ReadHead(TFields& fields);
  // Reads the text of the entry whose head was just read whole, with record
  // `fields`, and moves on to what follows the entry. False when the text
  // does not end as the layout says.
  bool ReadText(const TFields& fields, std::string_view& text);

  size_t Cursor() const { return FCursor; }
  void MoveTo(size_t at) { FCursor = at; }
  std::string_view Text() const { return FText; }

 private:
  bool StartsWith(size_t at, std::string_view bytes) const {
    return at <= FText.size() && FText.substr(at).starts_with(bytes);
  }
  // The length of the line break (CR LF or LF) at `at`; 0 for none.
  size_t LineBreakAt(size_t at) const;
  // Reads the head at `at` as ReadHead does; `textAt` is where its text
  // begins when it is whole.
  bool HeadAt(size_t at, TFields& fields, size_t& textAt) const;
  // Whether a whole head that names a kind stands at `at`; its fields.
  bool KindHeadAt(size_t at, TFields& fields) const;

  std::string_view FText;
  size_t FCursor = 0;
};

}  // namespace scrivlock::source::record
