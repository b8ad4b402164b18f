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

// The only bytes at which code state can change: a quote, "(" for "(*",
// "/" for "//" and "{".
inline bool IsSpecial(char c) {
  return c == '\'' || c == '(' || c == '/' || c == '{';
}

// The first special byte in [p, end), or end. Ordinary code is most of a unit,
// so it is skipped sixteen bytes at a time.
inline const char* FindSpecial(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('\'');
  const __m128i paren = _mm_set1_epi8('(');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i brace = _mm_set1_epi8('{');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, paren)),
                     _mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, brace)));
    if (const int mask = _mm_movemask_epi8(hit))
      return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && !IsSpecial(*p)) ++p;
  return p;
}

inline const char* Find(const char* p, const char* end, char c) {
  if (p >= end) return end;
  const void* hit = std::memchr(p, c, static_cast<size_t>(end - p));
  return hit ? static_cast<const char*>(hit) : end;
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

inline void AppendMarker(std::string& out, int32_t number) {
  char text[16] = {'{', '#'};
  char* end = std::to_chars(text + 2, text + sizeof text - 1, number).ptr;
  *end++ = '}';
  out.append(text, static_cast<size_t>(end - text));
}

}  // namespace scrivlock::source::scan
