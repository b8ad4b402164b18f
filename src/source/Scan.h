// Byte-level helpers shared by the scan (UnComment) and the walk (ReComment).
// Internal to the source processor.
//
// The scan and the walk spend their time skipping ordinary code, so they are
// compiled once per finder below and Dispatch runs the widest one the processor
// has: each finder then inlines into the loop that calls it, with no call per
// stop.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SCRIVLOCK_X86 1
#endif

namespace scrivlock::source::scan {

// Text is read and written a word at a time here and in the walk (digits,
// markers, a record's pieces), each word's first byte being its lowest.
static_assert(std::endian::native == std::endian::little,
              "the word-at-a-time reads and writes of text take the first byte as the lowest");

// Code state changes only at a quote, a "{", a "(*" or a "//"; a "(" or "/"
// without its partner (a call, a division) is ordinary code.
inline bool IsSpecial(const char* p, const char* end) {
  const char c = *p;
  return c == '\'' || c == '{' ||
         (p + 1 < end && ((c == '(' && p[1] == '*') || (c == '/' && p[1] == '/')));
}

// Each finder has
//   Special(p, end): the first special place in [p, end), or end;
//   Find(p, end, c): the first `c` in [p, end), or end;
//   FindEither(p, end, a, b): the first `a` or `b` in [p, end), or end;
//   Opens(p, lanes): bit i set for each "{" (but not "{$"), "(*" and "//" at
//     p + i of the 64 bytes at p (65 must be readable), with the block's quotes
//     added to `lanes`. A "{$" directive's text is code to both the scan and
//     the walk, so its brace needs no stop; "(*$" is rare and is left to the
//     callers;
//   TLanes: quotes counted lane by lane, each lane odd or even, so that blocks
//     with no open need no more than that for their quotes;
//   Odd(lanes): whether an odd number of quotes was added to `lanes`;
//   Quotes(p, lanes): bit i set for each quote at p + i of the 64 bytes at p,
//     the block last added to `lanes`;
//   Parity(bits): bit i set when an odd number of bits stand at or below i;
//   Fits<N>(p, pattern): whether each of the N (17 to 32) bytes at `p` is
//     the pattern's byte, or a decimal digit where the pattern holds "0" (the
//     rule of record::kHeadPatterns).
struct TScalarFinder {
  static const char* Special(const char* p, const char* end) {
    while (p < end && !IsSpecial(p, end)) ++p;
    return p;
  }
  static const char* Find(const char* p, const char* end, char c) {
    while (p < end && *p != c) ++p;
    return p;
  }
  static const char* FindEither(const char* p, const char* end, char a, char b) {
    while (p < end && *p != a && *p != b) ++p;
    return p;
  }
  static uint64_t Parity(uint64_t bits) {
    for (int shift = 1; shift < 64; shift *= 2) bits ^= bits << shift;
    return bits;
  }
  // Here a block's quotes are at hand as bits, and are kept for Quotes.
  struct TLanes {
    uint64_t all = 0;
    uint64_t last = 0;
  };
  static uint64_t Opens(const char* p, TLanes& lanes) {
    uint64_t opens = 0;
    uint64_t quotes = 0;
    for (int i = 0; i < 64; ++i) {
      quotes |= static_cast<uint64_t>(p[i] == '\'') << i;
      opens |= static_cast<uint64_t>((p[i] == '{' && p[i + 1] != '$') ||
                                     (p[i] == '(' && p[i + 1] == '*') ||
                                     (p[i] == '/' && p[i + 1] == '/'))
               << i;
    }
    lanes.all ^= quotes;
    lanes.last = quotes;
    return opens;
  }
  static bool Odd(const TLanes& lanes) { return __builtin_parityll(lanes.all) != 0; }
  static uint64_t Quotes(const char*, const TLanes& lanes) { return lanes.last; }
  template <size_t N>
  static bool Fits(const char* p, const char* pattern) {
    bool fits = true;
    for (size_t i = 0; i < N; ++i) {
      fits &= p[i] == pattern[i] || (pattern[i] == '0' && p[i] >= '0' && p[i] <= '9');
    }
    return fits;
  }
};

#if defined(SCRIVLOCK_X86)
// A unit is larger than the caches and the scan stops often, which keeps the
// hardware's own prefetching from running far enough ahead; asking for the
// bytes a few pages on keeps the scan as fast as a plain copy.
constexpr int kPrefetchAhead = 4096;

// Each byte is looked at together with the one after it, for "(*" and "//".
struct TSse2Finder {
  static const char* Special(const char* p, const char* end) {
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
    return TScalarFinder::Special(p, end);
  }
  static const char* Find(const char* p, const char* end, char c) {
    const __m128i wanted = _mm_set1_epi8(c);
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted))) {
        return p + __builtin_ctz(static_cast<unsigned>(mask));
      }
      p += 16;
    }
    return TScalarFinder::Find(p, end, c);
  }
  static const char* FindEither(const char* p, const char* end, char a, char b) {
    const __m128i first = _mm_set1_epi8(a);
    const __m128i second = _mm_set1_epi8(b);
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      if (const int mask = _mm_movemask_epi8(
              _mm_or_si128(_mm_cmpeq_epi8(v, first), _mm_cmpeq_epi8(v, second)))) {
        return p + __builtin_ctz(static_cast<unsigned>(mask));
      }
      p += 16;
    }
    return TScalarFinder::FindEither(p, end, a, b);
  }
  static uint64_t Parity(uint64_t bits) { return TScalarFinder::Parity(bits); }
  using TLanes = __m128i;
  static uint64_t Opens(const char* p, TLanes& lanes) {
    _mm_prefetch(p + kPrefetchAhead, _MM_HINT_T0);
    uint64_t opens = 0;
    for (int i = 0; i < 64; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
      const __m128i pair = _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('(')),
                                                      _mm_cmpeq_epi8(w, _mm_set1_epi8('*'))),
                                        _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')),
                                                      _mm_cmpeq_epi8(w, _mm_set1_epi8('/'))));
      const __m128i brace = _mm_andnot_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('$')),
                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('{')));
      const __m128i open = _mm_or_si128(pair, brace);
      lanes = _mm_xor_si128(lanes, _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
      opens |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(open))) << i;
    }
    return opens;
  }
  static bool Odd(const TLanes& lanes) { return __builtin_parity(_mm_movemask_epi8(lanes)) != 0; }
  static uint64_t Quotes(const char* p, const TLanes&) {
    uint64_t quotes = 0;
    for (int i = 0; i < 64; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      quotes |= static_cast<uint64_t>(static_cast<uint16_t>(
                    _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\'')))))
                << i;
    }
    return quotes;
  }
  // Two loads of 16 that overlap cover the N bytes. A byte XOR the pattern's
  // is 0 where they are the same, and 0 to 9 for a digit where the pattern
  // holds "0" ("0" to "9" differ in the low four bits only), so taking off 9
  // there, and nothing elsewhere, leaves 0 in each byte that fits. (The 9s
  // are worked out from the pattern: a constant table of them, passed in,
  // was folded away by GCC 12 at -O3 in a copy made for constant arguments.)
  template <size_t N>
  static bool Fits(const char* p, const char* pattern) {
    static_assert(N > 16 && N <= 32);
    const auto fits = [](const char* at, const char* in) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i wanted = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
      const __m128i slack =
          _mm_and_si128(_mm_cmpeq_epi8(wanted, _mm_set1_epi8('0')), _mm_set1_epi8(9));
      return _mm_subs_epu8(_mm_xor_si128(bytes, wanted), slack);
    };
    const __m128i off = _mm_or_si128(fits(p, pattern), fits(p + N - 16, pattern + N - 16));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(off, _mm_setzero_si128())) == 0xFFFF;
  }
};

struct TAvx2Finder {
  __attribute__((target("avx2"))) static const char* Special(const char* p, const char* end) {
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
      const __m256i pair = _mm256_or_si256(
          _mm256_and_si256(_mm256_cmpeq_epi8(v, paren), _mm256_cmpeq_epi8(w, star)),
          _mm256_and_si256(_mm256_cmpeq_epi8(v, slash), _mm256_cmpeq_epi8(w, slash)));
      if (const unsigned mask =
              static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(single, pair)))) {
        return p + __builtin_ctz(mask);
      }
      p += 32;
    }
    return TSse2Finder::Special(p, end);
  }
  __attribute__((target("avx2"))) static const char* Find(const char* p, const char* end, char c) {
    const __m256i wanted = _mm256_set1_epi8(c);
    if (end - p >= 64) {
      // Most literals and comments end within 64 bytes: one test for both halves.
      const uint64_t low = static_cast<uint32_t>(_mm256_movemask_epi8(
          _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), wanted)));
      const uint64_t high = static_cast<uint32_t>(_mm256_movemask_epi8(
          _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), wanted)));
      if (const uint64_t mask = low | high << 32) return p + __builtin_ctzll(mask);
      p += 64;
    }
    while (end - p >= 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      if (const unsigned mask =
              static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, wanted)))) {
        return p + __builtin_ctz(mask);
      }
      p += 32;
    }
    return TSse2Finder::Find(p, end, c);
  }
  __attribute__((target("avx2"))) static const char* FindEither(const char* p, const char* end,
                                                                char a, char b) {
    const __m256i first = _mm256_set1_epi8(a);
    const __m256i second = _mm256_set1_epi8(b);
    while (end - p >= 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      if (const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(
              _mm256_or_si256(_mm256_cmpeq_epi8(v, first), _mm256_cmpeq_epi8(v, second))))) {
        return p + __builtin_ctz(mask);
      }
      p += 32;
    }
    return TSse2Finder::FindEither(p, end, a, b);
  }
  // A carry-less multiplication by all ones is the running parity in one step.
  __attribute__((target("avx2,pclmul"))) static uint64_t Parity(uint64_t bits) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<int64_t>(bits)), _mm_set1_epi8(-1), 0);
    return static_cast<uint64_t>(_mm_cvtsi128_si64(product));
  }
  // Each byte picks by its low four bits, in three tables, the one opener it
  // could be, the byte that must follow it, and whether that follower makes it
  // an open ("(*", "//") or keeps it from being one ("{$"): three shuffles do
  // the work of seven compares.
  using TLanes = __m256i;
  __attribute__((target("avx2"))) static uint64_t Opens(const char* p, TLanes& lanes) {
    _mm_prefetch(p + kPrefetchAhead, _MM_HINT_T0);
    // The tables, alike in both halves, are indexed by a byte's low four bits.
    // A byte below 0x80 that is no opener finds 0x80 in `openers`, and one
    // from 0x80 up finds 0 (the shuffle's rule): neither is the byte itself.
    constexpr char kNo = -128;
    const __m256i openers = _mm256_broadcastsi128_si256(_mm_setr_epi8(
        kNo, kNo, kNo, kNo, kNo, kNo, kNo, kNo, '(', kNo, kNo, '{', kNo, kNo, kNo, '/'));
    const __m256i followers = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, '*', 0, 0, '$', 0, 0, 0, '/'));
    const __m256i negated =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0));
    uint32_t halves[2];
    for (int i = 0; i < 2; ++i) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
      const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i + 1));
      const __m256i opener = _mm256_cmpeq_epi8(v, _mm256_shuffle_epi8(openers, v));
      const __m256i followed = _mm256_cmpeq_epi8(w, _mm256_shuffle_epi8(followers, v));
      const __m256i open =
          _mm256_and_si256(opener, _mm256_xor_si256(followed, _mm256_shuffle_epi8(negated, v)));
      lanes = _mm256_xor_si256(lanes, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\'')));
      halves[i] = static_cast<uint32_t>(_mm256_movemask_epi8(open));
    }
    return halves[0] | static_cast<uint64_t>(halves[1]) << 32;
  }
  __attribute__((target("avx2"))) static bool Odd(const TLanes& lanes) {
    return __builtin_parity(static_cast<unsigned>(_mm256_movemask_epi8(lanes))) != 0;
  }
  __attribute__((target("avx2"))) static uint64_t Quotes(const char* p, const TLanes&) {
    const __m256i quote = _mm256_set1_epi8('\'');
    const uint64_t low = static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), quote)));
    const uint64_t high = static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), quote)));
    return low | high << 32;
  }
  template <size_t N>
  __attribute__((target("avx2"))) static bool Fits(const char* p, const char* pattern) {
    return TSse2Finder::Fits<N>(p, pattern);
  }
};
#endif

enum TVectorSet { vsNone, vsSse2, vsAvx2 };
// The set Dispatch runs: the widest the processor has. SCRIVLOCK_SIMD=sse2 or
// =none keeps the scan to a narrower one, so that each can be tested and
// measured on one machine. (Elsewhere than on x86, vsNone.)
TVectorSet VectorSet();
// For tests and fuzzing: from now on Dispatch runs `set`, or the widest the
// processor has if that is narrower; returns the set it will run. Not for
// use while a scan or walk runs on another thread.
TVectorSet UseVectorSet(TVectorSet set);

#if defined(SCRIVLOCK_X86)

// Runs work.Run<TFinder>() with the finder of VectorSet(). `flatten` inlines the whole
// loop, finder included, into a copy compiled for that instruction set.
template <class TWork>
__attribute__((target("avx2,pclmul"), flatten)) auto RunAvx2(TWork& work) {
  return work.template Run<TAvx2Finder>();
}
template <class TWork>
__attribute__((flatten)) auto RunSse2(TWork& work) {
  return work.template Run<TSse2Finder>();
}
template <class TWork>
auto Dispatch(TWork& work) {
  switch (VectorSet()) {
    case vsAvx2:
      return RunAvx2(work);
    case vsSse2:
      return RunSse2(work);
    default:
      return work.template Run<TScalarFinder>();
  }
}
#else
template <class TWork>
auto Dispatch(TWork& work) {
  return work.template Run<TScalarFinder>();
}
#endif

// The first "*)" that begins at or after `p`, or end.
template <class TFinder>
const char* FindParenClose(const char* p, const char* end) {
  for (const char* q = TFinder::Find(p + 1, end, ')'); q < end;
       q = TFinder::Find(q + 1, end, ')')) {
    if (q[-1] == '*') return q - 1;
  }
  return end;
}

// The end of a line comment whose text is [p, ...): its first CR or LF, at
// which the compiler ends it too.
template <class TFinder>
const char* FindLineBreak(const char* p, const char* end) {
  // The finder, not memchr: most comments are short, and a call per comment
  // cost the scan more than its search.
  const char* lf = TFinder::Find(p, end, '\n');
  return TFinder::Find(p, lf, '\r');
}

// Literals are skipped a block at a time: a bit is inside a literal when an odd
// number of quotes stands at or before it (a doubled quote closes and reopens),
// so the running parity of the quotes masks out what literals hold.
constexpr size_t kBlock = 64;

// Moves `p` a block at a time to the first block that holds a "{", "(*" or
// "//" outside literals, and returns them as bits; 0 once no more than a block
// is left at `p` (p + 65 must be readable for each block). `literal` is all
// ones when a literal is open at `p`, zero when not, and is left saying the
// same of where that block ends, or of where `p` stops. A loop of its own
// keeps the finder's constants in registers, however much the caller does
// with each block it is given.
template <class TFinder>
uint64_t NextOpens(const char*& p, const char* end, uint64_t& literal) {
  if (end - p <= static_cast<std::ptrdiff_t>(kBlock)) return 0;
  const char* const last = end - kBlock;
  // The quotes since `p` set out, kept lane by lane: the literals need working
  // out only at a block with an open.
  typename TFinder::TLanes lanes{};
  for (; p < last; p += kBlock) {
    // The loop is left on the opens alone, before the literals are known: the
    // guess that it goes on is wrong at every block with a comment or marker,
    // and it is found wrong the sooner. An open inside a literal is rare.
    if (uint64_t opens = TFinder::Opens(p, lanes)) {
      // The lanes hold this block's quotes too; the top bit of their running
      // parity is the parity of them all.
      const uint64_t parity = TFinder::Parity(TFinder::Quotes(p, lanes));
      const bool oddBefore = TFinder::Odd(lanes) != (parity >> 63 != 0);
      const uint64_t inside = parity ^ literal ^ (0 - static_cast<uint64_t>(oddBefore));
      if ((opens &= ~inside) != 0) {
        literal = static_cast<uint64_t>(static_cast<int64_t>(inside) >> 63);
        return opens;
      }
    }
  }
  literal ^= 0 - static_cast<uint64_t>(TFinder::Odd(lanes));
  return 0;
}

// The first special place at or after `p`, which is in code, that is not
// inside a literal (or a quote that opens one near the end), or end.
template <class TFinder>
const char* NextInCode(const char* p, const char* end) {
  uint64_t literal = 0;
  if (const uint64_t opens = NextOpens<TFinder>(p, end, literal)) return p + __builtin_ctzll(opens);
  if (literal) {
    const char* close = TFinder::Find(p, end, '\'');
    if (close == end) return end;
    p = close + 1;
  }
  return TFinder::Special(p, end);
}

// Whether the eight bytes of `v` (little-endian, as read from text) are all
// decimal digits. A carry out of a byte from 0xFA up spoils only the byte
// after it, and that byte's own high half has already failed.
inline bool AreEightDigits(uint64_t v) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  return ((v & kHigh) | ((v + 0x0606060606060606ULL) & kHigh) >> 4) == 0x3333333333333333ULL;
}

// The value of eight decimal digits read from text into `v`.
inline uint32_t EightDigitsValue(uint64_t v) {
  v = ((v & 0x0F0F0F0F0F0F0F0FULL) * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
  return static_cast<uint32_t>(((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32);
}

// "{$define Debug := //}" defines a macro that comments out the rest of each
// line where it is used: the compiler reads the "//" as the directive's text.
// For a "//" at `slashes`, in code, returns the "}" of such a directive around
// it: one that opens ("{$") at most kSlashDirectiveReach bytes before it, and
// not before `begin`, on the same line, with no quote, brace or parenthesis
// before the "//" and no brace after it. Else null: the "//" opens a comment.
// Uncomment and ReComment's walks read a unit alike through this one rule.
constexpr std::ptrdiff_t kSlashDirectiveReach = 256;
const char* SlashDirectiveClose(const char* begin, const char* slashes, const char* end);

// A comment marker is "{#", 1 to 10 decimal digits of a number that fits in 32
// bits, and "}". Returns its length at `p` (0 when `p` holds none) and its number.
// This one reads a digit at a time, and serves near the end of the text and for
// numbers of more than eight digits.
size_t MatchLongMarker(const char* p, const char* end, int32_t& number);

// Up to eight digits are read as one word: where the first byte that is no
// digit stands, and the digits' value, come out of a few moves with no branch
// on the number's width, which changes as markers count up.
inline size_t MatchMarker(const char* p, const char* end, int32_t& number) {
  if (end - p < 11) return MatchLongMarker(p, end, number);
  if (p[0] != '{' || p[1] != '#') return 0;
  uint64_t v;
  std::memcpy(&v, p + 2, 8);
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  constexpr uint64_t kZeros = 0x3030303030303030ULL;
  // A carry out of a byte that is no digit only spoils the bytes after it.
  const uint64_t other = ((v & kHigh) ^ kZeros) | (((v + 0x0606060606060606ULL) & kHigh) ^ kZeros);
  const int digits = other ? __builtin_ctzll(other) / 8 : 8;
  if (digits == 0) return 0;
  if (p[2 + digits] != '}') return digits == 8 ? MatchLongMarker(p, end, number) : 0;
  // Zero bytes shifted in ahead of the digits read as leading zeros.
  number =
      static_cast<int32_t>(EightDigitsValue((v & 0x0F0F0F0F0F0F0F0FULL) << (8 * (8 - digits))));
  return static_cast<size_t>(3 + digits);
}

// Eight decimal digits of `value` (below 100000000), zero-filled, as the bytes
// of a little-endian word, worked out in one register rather than a digit at a
// time.
inline uint64_t EightDigits(uint32_t value) {
  const uint64_t merged = (value / 10000) | (static_cast<uint64_t>(value % 10000) << 32);
  const uint64_t top = ((merged * 10486) >> 20) & ((0x7FULL << 32) | 0x7F);  // / 100 per half
  const uint64_t hundreds = ((merged - 100 * top) << 16) + top;
  uint64_t tens = ((hundreds * 103) >> 10) & 0x000F000F000F000FULL;  // / 10 per quarter
  tens += (hundreds - 10 * tens) << 8;
  return tens + 0x3030303030303030ULL;
}

inline void FormatEightDigits(char* out, uint32_t value) {
  const uint64_t text = EightDigits(value);
  std::memcpy(out, &text, 8);
}

// Reads eight decimal digits at `p` into `value`; false when a byte is no digit.
inline bool ReadEightDigits(const char* p, uint32_t& value) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if (!AreEightDigits(v)) return false;
  value = EightDigitsValue(v);
  return true;
}

// Writes the marker of entry `number` at `out` (room for 16 bytes); returns the end.
inline char* FormatMarker(char* out, int32_t number) {
  out[0] = '{';
  out[1] = '#';
  char* end = std::to_chars(out + 2, out + 15, number).ptr;
  *end++ = '}';
  return end;
}

}  // namespace scrivlock::source::scan
