#include "source/Record.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "base/ItemSplit.h"
#include "source/Scan.h"

namespace scrivlock::source::record {

TCommentKind KindFromName(std::string_view name) {
  // Only the name that the first letter points at can be equal.
  const int kind = name.empty() ? -1 : KindByLetter(name[0]);
  return kind >= 0 && CommentKindNames[kind] == name ? static_cast<TCommentKind>(kind) : ckNone;
}

char* FormatNumber(char* out, int32_t value) {
  if (value >= 0 && value <= 99999999) {
    scan::FormatEightDigits(out, static_cast<uint32_t>(value));
    return out + kDigits;
  }
  char digits[16];
  const int64_t wide = value;
  char* end = std::to_chars(digits, digits + sizeof digits, wide < 0 ? -wide : wide).ptr;
  const size_t count = static_cast<size_t>(end - digits);
  if (wide < 0) *out++ = '-';
  for (size_t i = count; i < kDigits; ++i) *out++ = '0';
  std::memcpy(out, digits, count);
  return out + count;
}

char* FormatRecord(char* out, const TFields& fields) {
  out = FormatNumber(out, fields.Number);
  const TCommentKind kind = fields.Kind <= ckNone ? fields.Kind : ckNone;
  std::memcpy(out, kNameFields[kind].data(), kNameField);
  return FormatNumber(out + kNameField, fields.Length);
}

char* FormatHead(char* out, const TFields& fields) {
  std::memcpy(out, kOpen.data(), kOpen.size());
  out = FormatRecord(out + kOpen.size(), fields);
  std::memcpy(out, kHeadEnd.data(), kHeadEnd.size());
  return out + kHeadEnd.size();
}

bool ParseStandardRecord(const char* p, TFields& fields) {
  constexpr size_t kName = kNameAt - kNumberAt;
  constexpr size_t kLength = kLengthAt - kNumberAt;
  const int kind = KindByLetter(p[kName + 1]);
  if (kind < 0 || std::memcmp(p + kName, kNameFields[kind].data(), kNameField) != 0) return false;
  uint32_t number;
  uint32_t length;
  if (!scan::ReadEightDigits(p, number) || !scan::ReadEightDigits(p + kLength, length)) {
    return false;
  }
  fields.Number = static_cast<int32_t>(number);
  fields.Kind = static_cast<TCommentKind>(kind);
  fields.Length = static_cast<int32_t>(length);
  return true;
}

bool ParseRecord(std::string_view text, TFields& fields) {
  // The record as written reads the same without splitting.
  if (text.size() == kRecord && ParseStandardRecord(text.data(), fields)) return true;
  try {
    const std::vector<std::string> items = SplitItems(text);
    if (items.size() < 3) return false;
    int32_t number = 0;
    int32_t length = 0;
    if (!ParseInt32(items[0], number)) number = 0;
    if (!ParseInt32(items[2], length)) length = 0;
    fields.Number = number;
    fields.Kind = KindFromName(items[1]);
    fields.Length = length;
    return true;
  } catch (const std::exception&) {  // only an allocation can fail here
    return false;
  }
}

bool TEntryReader::SkipHeader() {
  FCursor = FText.find(kOpen);
  return FCursor != std::string_view::npos;
}

size_t TEntryReader::LineBreakAt(size_t at) const {
  if (StartsWith(at, "\r\n")) return 2;
  return StartsWith(at, "\n") ? 1 : 0;
}

bool TEntryReader::HeadAt(size_t at, TFields& fields, size_t& textAt) const {
  textAt = at;
  if (!StartsWith(at, kOpen)) return false;
  // Up to the "*)": 24 characters on, or further for a record longer than
  // that (a number past 99999999) or written by hand.
  const size_t from = at + kOpen.size();
  const std::string_view within = FText.substr(0, std::min(FText.size(), from + kMaxRecord));
  const size_t close =
      StartsWith(from + kRecord, kClose) ? from + kRecord : within.find(kClose, from);
  if (close == std::string_view::npos) {
    // No "*)" near: the 24 characters after the "(*" are taken as the record,
    // so that a marker can be told which entry it met.
    std::string_view block = FText.substr(from, kRecord);
    ParseRecord(block.substr(0, block.find('\0')), fields);
    textAt = std::min(FText.size(), from + kRecord + kHeadEnd.size() - 1);
    return false;
  }
  const bool read = ParseRecord(FText.substr(from, close - from), fields);
  const size_t lineBreak = LineBreakAt(close + kClose.size());
  textAt = close + kClose.size() + lineBreak;
  if (!read || lineBreak == 0 || !StartsWith(textAt, "'")) return false;
  ++textAt;
  return true;
}

bool TEntryReader::KindHeadAt(size_t at, TFields& fields) const {
  size_t textAt;
  return HeadAt(at, fields, textAt) && fields.Kind != ckNone;
}

bool TEntryReader::ReadHead(TFields& fields) {
  size_t textAt;
  const bool whole = HeadAt(FCursor, fields, textAt);
  FCursor = whole ? textAt - 1 : textAt;  // onto the opening quote
  return whole;
}

bool TEntryReader::ReadText(const TFields& fields, std::string_view& text) {
  const size_t first = FCursor + 1;  // after the opening quote
  text = FText.substr(std::min(first, FText.size()), 0);
  // The stored length, when the closing quote and a line break stand after
  // it and then the next entry or, after the end record, the footer. (A text
  // whose line breaks were converted is shorter than its length, which would
  // then end in a later entry, but not before the next one.)
  const int64_t length = fields.Length;
  if (length >= 0 && length < static_cast<int64_t>(FText.size() - std::min(first, FText.size())) &&
      FText[first + static_cast<size_t>(length)] == '\'') {
    const size_t close = first + static_cast<size_t>(length);
    if (const size_t lineBreak = LineBreakAt(close + 1)) {
      const size_t next = close + 1 + lineBreak;
      TFields following;
      if ((KindHeadAt(next, following) &&
           int64_t{following.Number} == int64_t{fields.Number} + 1) ||
          (fields.Kind == ckEnd && StartsWith(next, kFooterStart))) {
        text = FText.substr(first, static_cast<size_t>(length));
        FCursor = next;
        return true;
      }
    }
  }
  // Otherwise the text runs to the closing quote and line break before the
  // next entry's "(*" or the footer. A "(*" or "{$endif}" inside the text is
  // text, but a whole head there means the entry is not what its record says.
  size_t open = FText.find(kOpen, first);
  size_t footer = FText.find(kFooterStart, first);
  while (open != std::string_view::npos || footer != std::string_view::npos) {
    const size_t next = std::min(open, footer);
    const size_t lineBreak =
        next >= 1 && FText[next - 1] == '\n' ? (next >= 2 && FText[next - 2] == '\r' ? 2 : 1) : 0;
    if (lineBreak != 0 && next >= first + lineBreak + 1 && FText[next - lineBreak - 1] == '\'') {
      text = FText.substr(first, next - lineBreak - 1 - first);
      FCursor = next;
      return true;
    }
    TFields following;
    if (next == open && KindHeadAt(next, following)) {
      FCursor = next;
      return false;
    }
    if (next == open) {
      open = FText.find(kOpen, next + 1);
    } else {
      footer = FText.find(kFooterStart, next + 1);
    }
  }
  FCursor = FText.size();
  return false;
}

}  // namespace scrivlock::source::record
