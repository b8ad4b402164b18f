// A growable in-memory byte sequence with a current position: the form in which
// every text moves between the subsystems. The caller owns it; callees never keep
// a stream beyond a call.
#pragma once

#include <cstdint>
#include <string_view>

namespace scrivlock {

class TByteStream {
 public:
  // Positions and sizes are 32-bit in the system's formats, so a stream never
  // grows past this; SetSize, Write and Extend refuse with kExpandError beyond it.
  static constexpr int64_t kMaxSize = 0x7FFFFFFF;
  static constexpr const char* kExpandError = "Out of memory while expanding memory stream";
  // Bytes past the end that a bulk writer may use as scratch (see Extend).
  static constexpr int64_t kScratch = 256;

  TByteStream() = default;
  // A stream holding `bytes`, positioned at 0.
  explicit TByteStream(std::string_view bytes);
  TByteStream(const TByteStream& other);
  TByteStream(TByteStream&& other) noexcept;
  TByteStream& operator=(TByteStream other) noexcept;
  ~TByteStream();

  int64_t Size() const { return FSize; }
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
  // Empties the stream and rewinds it; its memory is kept for what comes next.
  void Clear() {
    FPosition = 0;
    Truncate(0);
  }
  // Empties the stream and rewinds it, and gives its memory back.
  void Release();
  // Empties the stream as Release does, but hands its bytes to the caller
  // instead of freeing them: Size() bytes and a zero byte after them, in a
  // block the caller frees with std::free. Null while the stream has never
  // held any. Saves a copy where the bytes leave the system (the C interface).
  char* Detach() noexcept;
  // Capacity hint for writers that know roughly how much they will write.
  // Throws TError(kExpandError) when the memory cannot be had.
  void Reserve(int64_t capacity);
  int64_t Capacity() const { return FCapacity; }

  // For writers that fill the stream in bulk: lengthens it by `count` bytes
  // whose values are left unset, and returns the first of them; the position
  // is kept. Until the next change of size, the kScratch bytes past the new end
  // may be written too (they are not part of the stream, and the terminating
  // zero of Data() may be among them). Throws TError(kExpandError) past kMaxSize
  // or when the memory cannot be had.
  char* Extend(int64_t count);
  // For a reader that passes through a large stream once and needs its first
  // `count` bytes no more: gives their memory back to the system in whole
  // blocks of 2 MiB, so that what the reader writes meanwhile does not add to
  // it. Those bytes read as zeros afterwards; size and position do not change.
  // A stream under a few megabytes gives nothing back.
  void GiveBack(int64_t count);
  // Has the system back bytes [from, from + count) of the stream's memory
  // (clipped to its capacity) with pages now, without changing any byte, so
  // that the writer that fills them next does not wait for the system to find
  // and clear them. Safe while another thread writes the stream's bytes, not
  // while the stream grows. Only a hint: false where the system cannot.
  bool Populate(int64_t from, int64_t count) const;
  // Shortens the stream to `size` bytes, 0 <= size <= Size(); the memory is kept.
  void Truncate(int64_t size);

  // The bytes, contiguous, for scanners that work on the whole text at once.
  std::string_view View() const { return {Data(), static_cast<size_t>(FSize)}; }
  // The bytes, followed by a zero byte that is not part of the stream.
  const char* Data() const { return FData != nullptr ? FData : ""; }
  // The bytes, for writers that change them in place; null while the stream
  // has never held any.
  char* MutableData() { return FData; }

 private:
  // Makes room for `capacity` bytes, the scratch and the terminating zero.
  void Grow(int64_t capacity);

  char* FData = nullptr;  // FCapacity + kScratch + 1 bytes from malloc
  int64_t FSize = 0;
  int64_t FCapacity = 0;
  int64_t FPosition = 0;
};

}  // namespace scrivlock
