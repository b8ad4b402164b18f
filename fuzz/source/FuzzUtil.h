// What the source processor's fuzz targets share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "source/Scan.h"

namespace scrivlock::source::fuzz {

// A failed check: says what and stops, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// The scan path a byte picks: portable, SSE2 or AVX2 (or the widest below it
// that the processor has).
inline scan::TVectorSet PickPath(uint8_t byte) {
  return scan::UseVectorSet(static_cast<scan::TVectorSet>(byte % 3));
}

// Inputs that hold a stripped unit and its module: the path byte, the unit,
// the separator, the module.
inline constexpr std::string_view kSeparator = "\n=====module=====\n";

}  // namespace scrivlock::source::fuzz
