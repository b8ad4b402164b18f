#include "source/TipoNumero.h"

#include <charconv>

#include "base/ItemSplit.h"

namespace scrivlock::source {
namespace {

// "%-8.8d": at least eight digits, zero-filled on the left, sign in front.
void AppendNumber(std::string& out, int32_t value) {
  char digits[16];
  const int64_t wide = value;
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, wide < 0 ? -wide : wide);
  (void)ec;
  const size_t count = static_cast<size_t>(end - digits);
  if (wide < 0) out += '-';
  if (count < 8) out.append(8 - count, '0');
  out.append(digits, count);
}

}  // namespace

void TTipoNumero::AppendText(std::string& out) const {
  AppendNumber(out, Number);
  out += ',';
  const std::string_view name = Kind <= ckNone ? CommentKindNames[Kind] : std::string_view();
  const size_t shown = name.size() < 6 ? name.size() : 6;
  out.append(name.substr(0, shown));
  out.append(6 - shown, ' ');
  out += ',';
  AppendNumber(out, Length);
}

std::string TTipoNumero::ToText() const {
  std::string text;
  text.reserve(24);
  AppendText(text);
  return text;
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
