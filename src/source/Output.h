// The writer behind the scan and the walk: appends to a stream's bytes through
// a raw cursor. Internal to the source processor.
//
// A comment costs a handful of small writes (a run of code, a marker, a record,
// a text), and std::string::append checks and calls for each. Here one check
// makes room for all of them, and every write may store up to kSpill bytes past
// its end, so that short copies are a few fixed-size moves. Room is made a slice
// at a time: resize fills with zeros, and a small slice is still in the cache
// when the writes overwrite it.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "base/ByteStream.h"
#include "base/Error.h"

namespace scrivlock::source {

class TOutput {
 public:
  static constexpr size_t kShort = 128;
  static constexpr size_t kSpill = kShort;

  // Appends after the bytes that `text` holds. However the writer ends, `text`
  // is left holding just what was written.
  explicit TOutput(std::string& text)
      : FText(text), FCursor(text.data() + text.size()), FLimit(FCursor) {}
  ~TOutput() { FText.resize(Size()); }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // Room for `count` bytes, and kSpill more, at the cursor.
  char* Room(size_t count) {
    if (static_cast<size_t>(FLimit - FCursor) < count + kSpill) Grow(count);
    return FCursor;
  }
  void Advance(size_t count) { FCursor += count; }
  size_t Size() const { return static_cast<size_t>(FCursor - FText.data()); }

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
  static void CopyTo(char* out, const char* from, size_t count, const char* limit) {
    if (static_cast<size_t>(limit - from) >= kShort) {
      std::memcpy(out, from, kShort);
      if (count > kShort) std::memcpy(out + kShort, from + kShort, count - kShort);
    } else {
      std::memcpy(out, from, count);
    }
  }

  // Cuts the bytes to what was written. Throws TError past TByteStream::kMaxSize.
  void Finish() {
    const size_t size = Size();
    if (size > static_cast<size_t>(TByteStream::kMaxSize)) throw TError(TByteStream::kExpandError);
    FText.resize(size);
    FCursor = FLimit = FText.data() + size;
  }

 private:
  static constexpr size_t kSlice = 4 * 1024;

  __attribute__((noinline)) void Grow(size_t count) {
    const size_t at = Size();
    if (at + count > static_cast<size_t>(TByteStream::kMaxSize)) {
      throw TError(TByteStream::kExpandError);
    }
    const size_t need = at + count + kSpill + kSlice;
    if (need > FText.capacity()) FText.reserve(std::max(need, FText.capacity() * 2));
    FText.resize(std::min(FText.capacity(), need));
    FCursor = FText.data() + at;
    FLimit = FText.data() + FText.size();
  }

  std::string& FText;
  char* FCursor;
  char* FLimit;
};

}  // namespace scrivlock::source
