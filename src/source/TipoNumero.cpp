#include "source/TipoNumero.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/ItemSplit.h"

namespace scrivlock::source {
namespace {

// "%-8.8d": at least eight digits, zero-filled on the left, sign in front.
char* FormatNumber(char* out, int32_t value) {
  if (value >= 0 && value <= 99999999) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 6; i >= 0; i -= 2, v /= 100) std::memcpy(out + i, kPairs + 2 * (v % 100), 2);
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

}  // namespace

char* TTipoNumero::Format(char* out) const {
  out = FormatNumber(out, Number);
  *out++ = ',';
  const std::string_view name = Kind <= ckNone ? CommentKindNames[Kind] : std::string_view();
  std::memset(out, ' ', 6);
  std::memcpy(out, name.data(), std::min<size_t>(name.size(), 6));
  out += 6;
  *out++ = ',';
  return FormatNumber(out, Length);
}

std::string TTipoNumero::ToText() const {
  char text[kMaxText];
  return std::string(text, Format(text));
}
bool TTipoNumero::FromText(std::string_view text) {
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
  for (uint8_t kind = ckLine; kind <= ckNone; ++kind) {
    if (CommentKindNames[kind] == name) return static_cast<TCommentKind>(kind);
  }
  return ckNone;
}

}  // namespace scrivlock::source
