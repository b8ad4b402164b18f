// The module record codec: the head patterns the fast readers compare against
// are the heads the writer writes, and each finder's compare keeps to them.
#include <gtest/gtest.h>

#include <string>

#include "source/Record.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

using namespace record;

template <class TFinder>
bool FitsHead(const std::string& head, int kind) {
  return TFinder::template Fits<kHead>(head.data(), kHeadPatterns[kind].data());
}

// Each finder's compare of a head, on every byte of it changed to every value.
template <class TFinder>
void CheckHeadCompare() {
  for (int kind = ckLine; kind <= ckEnd; ++kind) {
    char written[kMaxHead];
    const std::string head(written,
                           FormatHead(written, {12345678, static_cast<TCommentKind>(kind), 90}));
    ASSERT_EQ(head.size(), kHead);
    EXPECT_TRUE(FitsHead<TFinder>(head, kind)) << head;
    for (size_t at = 0; at < kHead; ++at) {
      const bool digit = (at >= kNumberAt && at < kNumberAt + kDigits) ||
                         (at >= kLengthAt && at < kLengthAt + kDigits);
      for (int value = 0; value < 256; ++value) {
        std::string changed = head;
        changed[at] = static_cast<char>(value);
        const bool same = changed[at] == head[at] || (digit && value >= '0' && value <= '9');
        EXPECT_EQ(FitsHead<TFinder>(changed, kind), same) << at << " " << value;
      }
    }
  }
}

TEST(RecordTest, HeadPatternsAreTheWrittenHeads) {
  for (int kind = ckLine; kind <= ckEnd; ++kind) {
    char written[kMaxHead];
    const std::string head(written, FormatHead(written, {0, static_cast<TCommentKind>(kind), 0}));
    EXPECT_EQ(head, std::string(kHeadPatterns[kind].data(), kHead));
    EXPECT_EQ(KindByLetter(head[kNameAt + 1]), kind);
    TFields fields;
    EXPECT_TRUE(ParseStandardRecord(head.data() + kNumberAt, fields));
    EXPECT_EQ(fields.Kind, kind);
  }
}

TEST(RecordTest, EachFinderComparesHeadsByteForByte) {
  CheckHeadCompare<scan::TScalarFinder>();
#if defined(SCRIVLOCK_X86)
  CheckHeadCompare<scan::TSse2Finder>();
  const scan::TVectorSet chosen = scan::VectorSet();
  if (scan::UseVectorSet(scan::vsAvx2) == scan::vsAvx2) CheckHeadCompare<scan::TAvx2Finder>();
  scan::UseVectorSet(chosen);
#endif
}

}  // namespace
}  // namespace scrivlock::source
