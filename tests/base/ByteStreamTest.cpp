#include <gtest/gtest.h>

#include "base/ByteStream.h"
#include "base/Error.h"

namespace scrivlock {
namespace {

TEST(ByteStreamTest, ReadsWhatWasWrittenAndStopsAtTheEnd) {
  TByteStream s;
  s.Write("hello");
  EXPECT_EQ(s.Position(), 5);
  s.Seek(1);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "ello");
  EXPECT_EQ(s.Read(buf, 8), 0);
}

TEST(ByteStreamTest, WritePastTheEndFillsTheGapWithZeros) {
  TByteStream s("ab");
  s.Seek(4);
  s.Write("c");
  EXPECT_EQ(s.View(), std::string_view("ab\0\0c", 5));
}

TEST(ByteStreamTest, OverwritesInPlaceAndSetSizeKeepsThePosition) {
  TByteStream s("abcdef");
  s.Seek(2);
  s.Write("XY");
  EXPECT_EQ(s.View(), "abXYef");
  s.SetSize(3);
  EXPECT_EQ(s.View(), "abX");
  EXPECT_EQ(s.Position(), 4);
  s.SetSize(5);
  EXPECT_EQ(s.View(), std::string_view("abX\0\0", 5));
}

TEST(ByteStreamTest, RefusesNegativeAndHugeSizes) {
  TByteStream s;
  for (int64_t size : {int64_t{-1}, TByteStream::kMaxSize + 1}) {
    try {
      s.SetSize(size);
      FAIL() << size;
    } catch (const TError& e) {
      EXPECT_STREQ(e.what(), "Out of memory while expanding memory stream");
    }
  }
  s.Seek(TByteStream::kMaxSize);
  EXPECT_THROW(s.Write("x"), TError);
  EXPECT_EQ(s.Size(), 0);
}

}  // namespace
}  // namespace scrivlock
