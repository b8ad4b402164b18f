#include "source/TipoNumero.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/ItemSplit.h"
#include "source/Scan.h"

namespace scrivlock::source {

char* FormatRecordNumber(char* out, int32_t value) {
  if (value >= 0 && value <= 99999999) {
    scan::FormatEightDigits(out, static_cast<uint32_t>(value));
    return out + 8;
  }
  char digits[16];
  const int64_t wide = value;
  char* end = std::to_chars(digits, digits + sizeof digits, wide < 0 ? -wide : wide).ptr;
  const size_t count = static_cast<size_t>(end - digits);
  if (wide < 0) *out++ = '-';
  for (size_t i = count; i < 8; ++i) *out++ = '0';
  std::memcpy(out, digits, count);
  return out + count;
}

char* TTipoNumero::Format(char* out) const {
  out = FormatRecordNumber(out, Number);
  *out++ = ',';
  const std::string_view name = Kind <= ckNone ? CommentKindNames[Kind] : std::string_view();
  std::memset(out, ' ', 6);
  std::memcpy(out, name.data(), std::min<size_t>(name.size(), 6));
  out += 6;
  *out++ = ',';
  return FormatRecordNumber(out, Length);
}

std::string TTipoNumero::ToText() const {
  char text[kMaxText];
  return std::string(text, Format(text));
}

namespace {

bool ReadDigits8(const char* p, int32_t& value) {
  uint32_t v;
  if (!scan::ReadEightDigits(p, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// The record as written: eight digits, a name filled with spaces to six, eight
// digits. Read without splitting, with the same result as the split.
bool FromStandardText(std::string_view text, TTipoNumero& record) {
  if (text.size() != 24 || text[8] != ',' || text[15] != ',') return false;
  size_t name = 0;
  while (name < 6 && static_cast<unsigned char>(text[9 + name]) > 32 && text[9 + name] != ',' &&
         text[9 + name] != '"') {
    ++name;
  }
  for (size_t i = name; i < 6; ++i) {
    if (text[9 + i] != ' ') return false;
  }
  int32_t number;
  int32_t length;
  if (!ReadDigits8(text.data(), number) || !ReadDigits8(text.data() + 16, length)) return false;
  record.Number = number;
  record.Kind = TTipoNumero::KindFromName(text.substr(9, name));
  record.Length = length;
  return true;
}

}  // namespace

bool TTipoNumero::FromText(std::string_view text) {
  if (FromStandardText(text, *this)) return true;
  try {
    const std::vector<std::string> items = SplitItems(text);
    if (items.size() < 3) return false;
    int32_t number = 0;
    int32_t length = 0;
    if (!ParseInt32(items[0], number)) number = 0;
    if (!ParseInt32(items[2], length)) length = 0;
    Number = number;
    Kind = KindFromName(items[1]);
    Length = length;
    return true;
  } catch (...) {
    return false;
  }
}

TCommentKind TTipoNumero::KindFromName(std::string_view name) {
  // Every name but the empty one is three or four letters, told apart by the first.
  if (name.size() < 3 || name.size() > 4) return ckNone;
  TCommentKind kind;
  switch (name[0]) {
    case 'B':
      kind = ckLine;
      break;
    case 'K':
      kind = ckBrace;
      break;
    case 'P':
      kind = ckParen;
      break;
    case 'F':
      kind = ckEnd;
      break;
    default:
      return ckNone;
  }
  return CommentKindNames[kind] == name ? kind : ckNone;
}

}  // namespace scrivlock::source
