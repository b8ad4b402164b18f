#include "base/LineFeeds.h"

#include <algorithm>
#include <cstddef>

namespace scrivlock {

int64_t CountLineFeeds(std::string_view text) {
  // A message about the end of a unit of a hundred megabytes counts every line
  // before it. Byte-wide counters, emptied before they can wrap, let the
  // compiler compare a whole vector of bytes at a time; std::count widens each
  // byte to 64 bits and runs several times slower.
  constexpr size_t kLanes = 64;
  constexpr size_t kBlock = 255 * kLanes;
  int64_t total = 0;
  const char* p = text.data();
  size_t left = text.size();
  while (left >= kLanes) {
    const size_t block = std::min(left, kBlock) / kLanes * kLanes;
    unsigned char counts[kLanes] = {};
    for (size_t i = 0; i < block; i += kLanes) {
      for (size_t lane = 0; lane < kLanes; ++lane) counts[lane] += p[i + lane] == '\n';
    }
    for (unsigned char count : counts) total += count;
    p += block;
    left -= block;
  }
  return total + std::count(p, p + left, '\n');
}

}  // namespace scrivlock
