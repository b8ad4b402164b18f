#include "source/Scan.h"

#include <cstdlib>
#include <cstring>

namespace scrivlock::source::scan {

#if defined(SCRIVLOCK_X86)
bool HasAvx2() {
  // Asked on first use, not at load. Every processor with AVX2 has PCLMUL too,
  // but it is asked all the same. SCRIVLOCK_SIMD=sse2 keeps to the narrower
  // scan, so that both can be tested and measured on one machine.
  static const bool has = [] {
    const char* choice = std::getenv("SCRIVLOCK_SIMD");
    if (choice != nullptr && std::strcmp(choice, "sse2") == 0) return false;
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
  }();
  return has;
}
#endif

}  // namespace scrivlock::source::scan
