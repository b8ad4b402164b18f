// Byte-level helpers shared by the scan (UnComment) and the walk (ReComment).
// Internal to the source processor.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scrivlock::source::scan {

// Code state changes only at a quote, a "{", a "(*" or a "//"; a "(" or "/"
// without its partner (a call, a division) is ordinary code.
inline bool IsSpecial(const char* p, const char* end) {
  const char c = *p;
  return c == '\'' || c == '{' ||
         (p + 1 < end && ((c == '(' && p[1] == '*') || (c == '/' && p[1] == '/')));
}

// The first special place in [p, end), or end. Ordinary code is most of a unit,
// so it is skipped a vector at a time (32 bytes where the processor has AVX2).
const char* FindSpecial(const char* p, const char* end);

// The first `c` in [p, end), or end. Literals and comments are short, so an
// inline loop beats a call to memchr.
inline const char* Find(const char* p, const char* end, char c) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted))) {
      return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
    p += 16;
  }
#endif
  while (p < end && *p != c) ++p;
  return p;
}

// The first "*)" that begins at or after `p`, or end.
inline const char* FindParenClose(const char* p, const char* end) {
  for (const char* q = Find(p + 1, end, ')'); q < end; q = Find(q + 1, end, ')')) {
    if (q[-1] == '*') return q - 1;
  }
  return end;
}

// A comment marker is "{#", 1 to 10 decimal digits of a number that fits in 32
// bits, and "}". Returns its length at `p` (0 when `p` holds none) and its number.
inline size_t MatchMarker(const char* p, const char* end, int32_t& number) {
  if (end - p < 4 || p[0] != '{' || p[1] != '#') return 0;
  const char* q = p + 2;
  int64_t value = 0;
  while (q < end && *q >= '0' && *q <= '9' && q - p < 12) value = value * 10 + (*q++ - '0');
  if (q == p + 2 || q >= end || *q != '}' || value > INT32_MAX) return 0;
  number = static_cast<int32_t>(value);
  return static_cast<size_t>(q + 1 - p);
}

// append(first, last) would take the slower iterator path of std::string.
inline void AppendRange(std::string& out, const char* first, const char* last) {
  out.append(first, static_cast<size_t>(last - first));
}

inline void AppendMarker(std::string& out, int32_t number) {
  char text[16] = {'{', '#'};
  char* end = std::to_chars(text + 2, text + sizeof text - 1, number).ptr;
  *end++ = '}';
  out.append(text, static_cast<size_t>(end - text));
}

}  // namespace scrivlock::source::scan
