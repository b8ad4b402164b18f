#include "source/Scan.h"

namespace scrivlock::source::scan {

#if defined(SCRIVLOCK_X86)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");  // asked on first use, not at load
  return has;
}
#endif

}  // namespace scrivlock::source::scan
