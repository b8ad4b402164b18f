#include "source/Scan.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SCRIVLOCK_X86 1
#endif

namespace scrivlock::source::scan {
namespace {

const char* FindSpecialScalar(const char* p, const char* end) {
  while (p < end && !IsSpecial(p, end)) ++p;
  return p;
}

#if defined(SCRIVLOCK_X86)
// A unit is larger than the caches and the scan stops often, which keeps the
// hardware's own prefetching from running far enough ahead; asking for the
// bytes a few pages on makes the scan as fast as a plain copy.
constexpr int kPrefetchAhead = 4096;

// Each byte is looked at together with the one after it, for "(*" and "//".
const char* FindSpecialSse2(const char* p, const char* end) {
  const __m128i quote = _mm_set1_epi8('\'');
  const __m128i brace = _mm_set1_epi8('{');
  const __m128i paren = _mm_set1_epi8('(');
  const __m128i star = _mm_set1_epi8('*');
  const __m128i slash = _mm_set1_epi8('/');
  while (end - p >= 17) {
    _mm_prefetch(p + kPrefetchAhead, _MM_HINT_T0);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i single = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, brace));
    const __m128i pair =
        _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(v, paren), _mm_cmpeq_epi8(w, star)),
                     _mm_and_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(w, slash)));
    if (const int mask = _mm_movemask_epi8(_mm_or_si128(single, pair))) {
      return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
    p += 16;
  }
  return FindSpecialScalar(p, end);
}

__attribute__((target("avx2"))) const char* FindSpecialAvx2(const char* p, const char* end) {
  const __m256i quote = _mm256_set1_epi8('\'');
  const __m256i brace = _mm256_set1_epi8('{');
  const __m256i paren = _mm256_set1_epi8('(');
  const __m256i star = _mm256_set1_epi8('*');
  const __m256i slash = _mm256_set1_epi8('/');
  while (end - p >= 33) {
    _mm_prefetch(p + kPrefetchAhead, _MM_HINT_T0);
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    const __m256i single =
        _mm256_or_si256(_mm256_cmpeq_epi8(v, quote), _mm256_cmpeq_epi8(v, brace));
    const __m256i pair =
        _mm256_or_si256(_mm256_and_si256(_mm256_cmpeq_epi8(v, paren), _mm256_cmpeq_epi8(w, star)),
                        _mm256_and_si256(_mm256_cmpeq_epi8(v, slash), _mm256_cmpeq_epi8(w, slash)));
    if (const unsigned mask =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(single, pair)))) {
      return p + __builtin_ctz(mask);
    }
    p += 32;
  }
  return FindSpecialSse2(p, end);
}
#endif

using TFinder = const char* (*)(const char*, const char*);

TFinder ChooseFinder() {
#if defined(SCRIVLOCK_X86)
  return __builtin_cpu_supports("avx2") ? FindSpecialAvx2 : FindSpecialSse2;
#else
  return FindSpecialScalar;
#endif
}

}  // namespace

const char* FindSpecial(const char* p, const char* end) {
  static const TFinder finder = ChooseFinder();  // chosen on first use, not at load
  return finder(p, end);
}

}  // namespace scrivlock::source::scan
