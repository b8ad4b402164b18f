#include "source/Scan.h"

#include <cstdlib>
#include <string_view>

namespace scrivlock::source::scan {

#if defined(SCRIVLOCK_X86)
TVectorSet VectorSet() {
  // Asked on first use, not at load. Every processor with AVX2 has PCLMUL too,
  // but it is asked all the same.
  static const TVectorSet set = [] {
    const char* choice = std::getenv("SCRIVLOCK_SIMD");
    const std::string_view narrower = choice != nullptr ? choice : "";
    if (narrower == "none") return vsNone;
    if (narrower == "sse2" || !__builtin_cpu_supports("avx2") ||
        !__builtin_cpu_supports("pclmul")) {
      return vsSse2;
    }
    return vsAvx2;
  }();
  return set;
}
#endif

}  // namespace scrivlock::source::scan
