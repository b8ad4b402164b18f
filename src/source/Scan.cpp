#include "source/Scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace scrivlock::source::scan {

namespace {

// The widest set the processor has.
TVectorSet Widest() {
#if defined(SCRIVLOCK_X86)
  // Every processor with AVX2 has PCLMUL too, but it is asked all the same.
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul") ? vsAvx2 : vsSse2;
#else
  return vsNone;
#endif
}

// Asked on first use, not at load.
TVectorSet& Chosen() {
  static TVectorSet set = [] {
    const char* choice = std::getenv("SCRIVLOCK_SIMD");
    const std::string_view narrower = choice != nullptr ? choice : "";
    if (narrower == "none") return vsNone;
    if (narrower == "sse2") return std::min(vsSse2, Widest());
    return Widest();
  }();
  return set;
}

}  // namespace

TVectorSet VectorSet() {
  return Chosen();
}

TVectorSet UseVectorSet(TVectorSet set) {
  return Chosen() = std::min(set, Widest());
}

const char* SlashDirectiveClose(const char* begin, const char* slashes, const char* end) {
  // Back to the directive's "{": a quote, brace, parenthesis or line break on
  // the way means the "//" is no directive's text (or not plainly so).
  const char* reach = slashes - std::min(slashes - begin, kSlashDirectiveReach);
  const char* open = slashes;
  for (;;) {
    if (open == reach) return nullptr;
    const char c = *--open;
    if (c == '{') break;
    if (c == '\n' || c == '\r' || c == '\'' || c == '}' || c == '(' || c == ')') return nullptr;
  }
  if (open + 1 == slashes || open[1] != '$') return nullptr;
  for (const char* p = slashes + 2; p < end; ++p) {
    if (*p == '}') return p;
    if (*p == '\n' || *p == '\r' || *p == '{') return nullptr;
  }
  return nullptr;
}

size_t MatchLongMarker(const char* p, const char* end, int32_t& number) {
  if (end - p < 4 || p[0] != '{' || p[1] != '#') return 0;
  const char* q = p + 2;
  int64_t value = 0;
  while (q < end && *q >= '0' && *q <= '9' && q - p < 12) value = value * 10 + (*q++ - '0');
  if (q == p + 2 || q >= end || *q != '}' || value > INT32_MAX) return 0;
  number = static_cast<int32_t>(value);
  return static_cast<size_t>(q + 1 - p);
}

}  // namespace scrivlock::source::scan
