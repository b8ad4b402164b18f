#include "base/ItemSplit.h"

#include <cstdint>

namespace scrivlock {
namespace {

bool IsBlank(unsigned char c) {
  return c >= 1 && c <= 32;
}

}  // namespace

std::vector<std::string> SplitItems(std::string_view text) {
  if (const size_t zero = text.find('\0'); zero != std::string_view::npos) {
    text = text.substr(0, zero);
  }
  std::vector<std::string> items;
  size_t p = 0;
  const size_t n = text.size();
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  while (p < n && IsBlank(at(p))) ++p;
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t first = p;
      while (p < n && at(p) > 32 && text[p] != ',') ++p;
      item.assign(text.substr(first, p - first));
    }
    items.push_back(std::move(item));
    while (p < n && IsBlank(at(p))) ++p;
    if (p < n && text[p] == ',') {
      ++p;
      while (p < n && IsBlank(at(p))) ++p;
    }
  }
  return items;
}

bool ParseInt32(std::string_view text, int32_t& value) {
  size_t p = 0;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p == text.size()) return false;
  int64_t v = 0;
  for (; p < text.size(); ++p) {
    const char c = text[p];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace scrivlock
