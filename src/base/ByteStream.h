// A growable in-memory byte sequence with a current position: the form in which
// every text moves between the subsystems. The caller owns it; callees never keep
// a stream beyond a call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace scrivlock {

class TByteStream {
 public:
  // Positions and sizes are 32-bit in the system's formats, so a stream never
  // grows past this; SetSize and Write refuse with kExpandError beyond it.
  static constexpr int64_t kMaxSize = 0x7FFFFFFF;
  static constexpr const char* kExpandError = "Out of memory while expanding memory stream";

  TByteStream() = default;
  // A stream holding `bytes`, positioned at 0.
  explicit TByteStream(std::string_view bytes) : FBytes(bytes) {}

  int64_t Size() const { return static_cast<int64_t>(FBytes.size()); }
  int64_t Position() const { return FPosition; }
  // Any position >= 0 may be set, also past the end; reads there deliver nothing
  // and a write there first fills the gap with zero bytes. Negative positions
  // are taken as 0.
  void Seek(int64_t position) { FPosition = position < 0 ? 0 : position; }

  // Copies up to `count` bytes from the position into `buffer` and advances the
  // position by as many; returns that number (fewer only at the end).
  int64_t Read(void* buffer, int64_t count);
  // Writes `count` bytes at the position, growing the stream as needed, and
  // advances the position. Throws TError(kExpandError) past kMaxSize.
  void Write(const void* buffer, int64_t count);
  void Write(std::string_view bytes) { Write(bytes.data(), static_cast<int64_t>(bytes.size())); }
  // Appends at the end without moving the position.
  void Append(std::string_view bytes);

  // Cuts or lengthens the stream (added bytes are zero); the position is kept.
  // Throws TError(kExpandError) for a negative size or one past kMaxSize.
  void SetSize(int64_t size);
  // Empties the stream and rewinds it.
  void Clear() {
    FBytes.clear();
    FPosition = 0;
  }
  // Capacity hint for writers that know roughly how much they will write.
  void Reserve(int64_t capacity);

  // The bytes, contiguous, for scanners that work on the whole text at once.
  std::string_view View() const { return FBytes; }
  const char* Data() const { return FBytes.data(); }
  // Direct access for writers that fill the stream in bulk.
  std::string& Bytes() { return FBytes; }

 private:
  std::string FBytes;
  int64_t FPosition = 0;
};

}  // namespace scrivlock
