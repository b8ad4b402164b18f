// The writer behind the scan and the walk: appends to a stream through a raw
// cursor. Internal to the source processor.
//
// A comment costs a handful of small writes (a run of code, a marker, a record,
// a text). Here one check makes room for all of them, and every write may
// store up to kSpill bytes past its end, so that short copies are a few moves
// of fixed size. The room is the stream's own, lengthened without being
// filled first, and the spill lands in the scratch the stream keeps past it.
#pragma once

#include <algorithm>
#include <cstring>

#include "base/ByteStream.h"
#include "base/Error.h"

namespace scrivlock::source {

class TOutput {
 public:
  static constexpr size_t kShort = 128;
  static constexpr size_t kSpill = kShort;
  static constexpr size_t kChunk = 64;  // the step of longer copies, which spill less than that
  static_assert(kSpill <= TByteStream::kScratch);

  // Appends after the bytes that `stream` holds. However the writer ends, the
  // stream is left holding just what was written.
  explicit TOutput(TByteStream& stream)
      : FStream(stream), FCursor(stream.MutableData() + stream.Size()), FLimit(FCursor) {}
  ~TOutput() { FStream.Truncate(static_cast<int64_t>(Size())); }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // Room for `count` bytes, and kSpill more, at the cursor. (The spill lands in
  // the stream's scratch, which a stream that never had memory lacks: then
  // even no bytes at all make it grow.)
  char* Room(size_t count) {
    if (static_cast<size_t>(FLimit - FCursor) <= count) Grow(count);
    return FCursor;
  }
  void Advance(size_t count) { FCursor += count; }
  size_t Size() const { return static_cast<size_t>(FCursor - FStream.MutableData()); }

  // Appends [from, to). `limit` ends the readable bytes around them: a short
  // copy reads past `to` when the text lasts that long.
  void Copy(const char* from, const char* to, const char* limit) {
    const size_t count = static_cast<size_t>(to - from);
    CopyTo(Room(count), from, count, limit);
    FCursor += count;
  }

  // Copies `count` bytes to `out`, which has room for count + kSpill. Most
  // runs of code and comment texts are short, and copying a fixed kShort bytes
  // whatever their length spares a branch that the processor cannot foresee.
  // Longer ones go on in whole chunks while the text lasts.
  static void CopyTo(char* out, const char* from, size_t count, const char* limit) {
    const auto readable = static_cast<size_t>(limit - from);
    if (readable < kShort) {
      std::memcpy(out, from, count);
      return;
    }
    Move<kShort>(out, from);
    if (count <= kShort) return;
    if (readable - count >= kChunk) {
      for (size_t at = kShort; at < count; at += kChunk) Move<kChunk>(out + at, from + at);
    } else {
      std::memcpy(out + kShort, from + kShort, count - kShort);
    }
  }

  // Copies a fixed `count` bytes, a multiple of 32. memcpy of a fixed size is
  // done in 16-byte moves even where 32-byte ones are at hand; a vector type
  // takes the widest the function is compiled for.
  template <size_t count>
  static void Move(char* out, const char* from) {
    typedef char TPiece __attribute__((vector_size(32), aligned(1), may_alias));
    static_assert(count % sizeof(TPiece) == 0);
    for (size_t at = 0; at < count; at += sizeof(TPiece)) {
      *reinterpret_cast<TPiece*>(out + at) = *reinterpret_cast<const TPiece*>(from + at);
    }
  }

  // Cuts the stream to what was written.
  void Finish() {
    FStream.Truncate(static_cast<int64_t>(Size()));
    FCursor = FLimit = FStream.MutableData() + FStream.Size();
  }

 private:
  // Lengthens the stream to all the room it has, at least `count` bytes past
  // the cursor. Throws TError past TByteStream::kMaxSize.
  __attribute__((noinline)) void Grow(size_t count) {
    const auto at = static_cast<int64_t>(Size());
    if (count > static_cast<size_t>(TByteStream::kMaxSize - at)) {
      throw TError(TByteStream::kExpandError);
    }
    FStream.Truncate(at);
    if (const int64_t need = at + static_cast<int64_t>(count); need > FStream.Capacity()) {
      FStream.Reserve(std::max({need, 2 * FStream.Capacity(), int64_t{4096}}));
    }
    FStream.Extend(FStream.Capacity() - at);
    FCursor = FStream.MutableData() + at;
    FLimit = FStream.MutableData() + FStream.Size();
  }

  TByteStream& FStream;
  char* FCursor;
  char* FLimit;
};

}  // namespace scrivlock::source
