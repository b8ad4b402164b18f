#include "source/Scan.h"

namespace scrivlock::source::scan {

#if defined(SCRIVLOCK_X86)
bool HasAvx2() {
  // Asked on first use, not at load. Every processor with AVX2 has PCLMUL too,
  // but it is asked all the same.
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
  return has;
}
#endif

}  // namespace scrivlock::source::scan
