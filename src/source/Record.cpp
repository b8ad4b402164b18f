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

void TEntryReader::ReadRecord(TFields& fields) {
  if (AtEntry()) {
    // Up to the "*)": 24 characters on, or further for a record longer than
    // that (a number past 99999999) or hand-written.
    const size_t from = FCursor + kOpen.size();
    const std::string_view within = FText.substr(0, std::min(FText.size(), from + kMaxRecord));
    const size_t close = within.substr(std::min(within.size(), from + kRecord)).starts_with(kClose)
                             ? from + kRecord
                             : within.find(kClose, from);
    if (close != std::string_view::npos) {
      ParseRecord(FText.substr(from, close - from), fields);
      FCursor = std::min(FText.size(), close + kClose.size() + 2);  // and its CR LF
      return;
    }
  }
  // No "*)" near: the 24 characters after the "(*" are taken as the record.
  std::string_view block = FText.substr(std::min(FCursor, FText.size()), 2 + kRecord + 2);
  block = block.substr(0, block.find('\0'));
  ParseRecord(block.size() > 2 ? block.substr(2, kRecord) : std::string_view(), fields);
  FCursor = std::min(FText.size(), FCursor + 2 + kRecord + 4);
}

bool TEntryReader::ReadText(const TFields& fields, std::string_view& text) {
  // The stored length is taken when the module agrees with it: the closing
  // quote, CR LF and the next record or the footer stand right there. So a
  // text that holds "(*" comes back whole.
  const int64_t length = fields.Length;
  const size_t at = FCursor;
  const auto startsWith = [this](size_t from, std::string_view bytes) {
    return from <= FText.size() && FText.substr(from).starts_with(bytes);
  };
  if (length >= 0 && static_cast<int64_t>(FText.size() - at) >= length + 4 && FText[at] == '\'') {
    const size_t close = at + 1 + static_cast<size_t>(length);
    if (startsWith(close, kTail) && (startsWith(close + kTail.size(), kOpen) ||
                                     startsWith(close + kTail.size(), kFooterStart))) {
      text = FText.substr(at + 1, static_cast<size_t>(length));
      FCursor = close + kTail.size();
      return true;
    }
  }
  // Otherwise (a text edited inside the module) the text runs to the next
  // "(*", read a byte at a time: the byte after a "(" that is no "*" is
  // passed over with it. The quotes and line break around it are dropped.
  size_t next = at;
  while (next < FText.size()) {
    if (FText[next] != '(') {
      ++next;
    } else if (next + 1 < FText.size() && FText[next + 1] == '*') {
      break;
    } else {
      next += 2;
    }
  }
  if (next >= FText.size()) {
    FCursor = FText.size();
    return false;
  }
  const std::string_view scratch = FText.substr(at, next - at);
  text = scratch.size() >= 5 ? scratch.substr(1, scratch.size() - 4) : std::string_view();
  text = text.substr(0, text.find('\0'));
  FCursor = next;
  return true;
}

}  // namespace scrivlock::source::record
