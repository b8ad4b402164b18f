#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

TEST(ByteStreamTest, BulkWritersExtendAndTruncateAndTheBytesStayZeroTerminated) {
  TByteStream s("ab");
  s.Seek(1);
  char* added = s.Extend(3);
  EXPECT_EQ(added, s.MutableData() + 2);
  std::memcpy(added, "cde", 3);
  EXPECT_EQ(s.View(), "abcde");
  EXPECT_EQ(s.Position(), 1);
  EXPECT_EQ(s.Data()[s.Size()], '\0');
  // Scratch written past the end is no part of the stream, and the zero is put
  // back with the next change of size.
  std::memset(s.MutableData() + s.Size(), 'x', TByteStream::kScratch);
  s.Truncate(4);
  EXPECT_EQ(s.View(), "abcd");
  EXPECT_EQ(s.Data()[4], '\0');
  s.Truncate(10);  // never lengthens
  EXPECT_EQ(s.Size(), 4);
  // Growing a written stream keeps its bytes.
  const int64_t capacity = s.Capacity();
  std::memset(s.Extend(capacity), 'y', static_cast<size_t>(capacity));
  EXPECT_EQ(s.View().substr(0, 5), "abcdy");
  EXPECT_EQ(s.Size(), 4 + capacity);
  EXPECT_THROW(s.Extend(TByteStream::kMaxSize), TError);
  EXPECT_EQ(s.Size(), 4 + capacity);
  EXPECT_THROW(s.Extend(-1), TError);
}

TEST(ByteStreamTest, EmptyStreamsCopiesMovesAndReleasedOnes) {
  TByteStream empty;
  EXPECT_STREQ(empty.Data(), "");
  EXPECT_EQ(empty.View(), "");
  // Lengthened by nothing, a stream that never had memory has some, with its
  // scratch, and still holds nothing.
  char* none = empty.Extend(0);
  ASSERT_NE(none, nullptr);
  std::memset(none, 'x', TByteStream::kScratch);
  empty.Truncate(0);
  EXPECT_STREQ(empty.Data(), "");
  TByteStream s("abc");
  s.Seek(2);
  TByteStream copy(s);
  copy.Write("X");
  EXPECT_EQ(copy.View(), "abX");
  EXPECT_EQ(s.View(), "abc");
  TByteStream moved(std::move(copy));
  EXPECT_EQ(moved.View(), "abX");
  EXPECT_EQ(moved.Position(), 3);
  moved = s;
  EXPECT_EQ(moved.View(), "abc");
  EXPECT_EQ(moved.Position(), 2);
  s.Clear();
  EXPECT_EQ(s.View(), "");
  EXPECT_GE(s.Capacity(), 3);  // kept for what comes next
  s.Release();
  EXPECT_EQ(s.Capacity(), 0);
  EXPECT_STREQ(s.Data(), "");
  s.Write("again");
  EXPECT_EQ(s.View(), "again");
}

TEST(ByteStreamTest, DetachHandsTheBytesOverZeroTerminated) {
  TByteStream never;
  EXPECT_EQ(never.Detach(), nullptr);
  TByteStream s("ab");
  s.Seek(2);
  // Scratch written over the terminating zero does not reach the caller.
  std::memset(s.Extend(1), 'c', 1 + TByteStream::kScratch);
  char* bytes = s.Detach();
  ASSERT_NE(bytes, nullptr);
  EXPECT_STREQ(bytes, "abc");
  std::free(bytes);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Capacity(), 0);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.MutableData(), nullptr);
  s.Write("again");  // the stream is usable afterwards
  EXPECT_EQ(s.View(), "again");
}

// Memory goes back only in whole blocks before the count; the rest of the
// stream, its size and position stay as they were.
TEST(ByteStreamTest, GiveBackKeepsEverythingFromTheLastWholeBlockOn) {
  const int64_t size = int64_t{12} << 20;
  TByteStream s(std::string(static_cast<size_t>(size), 'x'));
  s.Seek(5);
  TByteStream small("small");
  small.GiveBack(5);
  EXPECT_EQ(small.View(), "small");
  const int64_t passed = int64_t{7} << 20;
  s.GiveBack(passed);
  EXPECT_EQ(s.Size(), size);
  EXPECT_EQ(s.Position(), 5);
  const std::string_view bytes = s.View();
  EXPECT_EQ(bytes.find_first_not_of('x', static_cast<size_t>(passed)), std::string_view::npos);
  // What was given back reads as zeros: at least the block before the count.
  const size_t given = bytes.find_first_not_of('\0', bytes.find('\0'));
  EXPECT_NE(bytes.find('\0'), std::string_view::npos);
  EXPECT_LE(given, static_cast<size_t>(passed));
  EXPECT_GE(given, static_cast<size_t>(passed) - (size_t{2} << 20));
  s.GiveBack(-1);
  s.GiveBack(size * 2);  // at most the stream
  EXPECT_EQ(s.Size(), size);
}

// Backing memory ahead changes no byte, and asks for nothing outside the
// capacity.
TEST(ByteStreamTest, PopulateChangesNoByte) {
  TByteStream none;
  EXPECT_FALSE(none.Populate(0, 100));
  const int64_t size = int64_t{5} << 20;
  TByteStream s(std::string(static_cast<size_t>(size), 'y'));
  s.Reserve(size * 2);
  char* const tail = s.Extend(size);
  std::memset(tail, 'z', static_cast<size_t>(size / 2));
  s.Truncate(size + size / 2);
  const std::string before(s.View());
  EXPECT_TRUE(s.Populate(0, size * 2));
  EXPECT_TRUE(s.Populate(3, 1));
  EXPECT_TRUE(s.Populate(-10, 20));
  EXPECT_TRUE(s.Populate(size * 10, size));  // clipped to nothing
  EXPECT_TRUE(s.Populate(size, -5));
  EXPECT_TRUE(s.View() == before);
}

}  // namespace
}  // namespace scrivlock
