#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/LineFeeds.h"

namespace scrivlock {
namespace {

// Lengths around the counter's blocks, where a byte-wide count would wrap or a
// tail would be dropped.
TEST(CountLineFeeds, MatchesAPlainCountAtEveryBlockEdge) {
  for (size_t size : {0, 1, 63, 64, 65, 255 * 64 - 1, 255 * 64, 255 * 64 + 1, 3 * 255 * 64 + 17}) {
    for (std::string text : {std::string(size, '\n'), std::string(size, 'x')}) {
      for (size_t i = 0; i < text.size(); i += 7) text[i] = text[i] == '\n' ? '\r' : '\n';
      EXPECT_EQ(CountLineFeeds(text), std::count(text.begin(), text.end(), '\n')) << size;
    }
  }
}

}  // namespace
}  // namespace scrivlock
