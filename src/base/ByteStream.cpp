#include "base/ByteStream.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/Error.h"

namespace scrivlock {

TByteStream::TByteStream(std::string_view bytes) {
  Append(bytes);
}

TByteStream::TByteStream(const TByteStream& other) : FPosition(other.FPosition) {
  Append(other.View());
}

TByteStream::TByteStream(TByteStream&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)),
      FSize(std::exchange(other.FSize, 0)),
      FCapacity(std::exchange(other.FCapacity, 0)),
      FPosition(std::exchange(other.FPosition, 0)) {}

TByteStream& TByteStream::operator=(TByteStream other) noexcept {
  std::swap(FData, other.FData);
  std::swap(FSize, other.FSize);
  std::swap(FCapacity, other.FCapacity);
  std::swap(FPosition, other.FPosition);
  return *this;
}

TByteStream::~TByteStream() {
  std::free(FData);
}

int64_t TByteStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= FSize) return 0;
  const int64_t n = std::min(count, FSize - FPosition);
  std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

void TByteStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return;
  const int64_t end = FPosition + count;
  if (end > kMaxSize) throw TError(kExpandError);
  if (end > FSize) {
    const int64_t size = FSize;
    Extend(end - size);
    if (FPosition > size) std::memset(FData + size, 0, static_cast<size_t>(FPosition - size));
  }
  std::memcpy(FData + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
}

void TByteStream::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  std::memcpy(Extend(static_cast<int64_t>(bytes.size())), bytes.data(), bytes.size());
}

void TByteStream::SetSize(int64_t size) {
  if (size < 0 || size > kMaxSize) throw TError(kExpandError);
  if (size <= FSize) {
    Truncate(size);
  } else {
    const int64_t added = size - FSize;
    std::memset(Extend(added), 0, static_cast<size_t>(added));
  }
}

void TByteStream::Release() {
  std::free(std::exchange(FData, nullptr));
  FSize = FCapacity = FPosition = 0;
}

char* TByteStream::Detach() noexcept {
  char* data = std::exchange(FData, nullptr);
  if (data != nullptr) {
    data[FSize] = '\0';  // the scratch may have overwritten it (Extend)
    // The capacity and scratch beyond go back; shrinking a block keeps it in place.
    if (void* shrunk = std::realloc(data, static_cast<size_t>(FSize + 1))) {
      data = static_cast<char*>(shrunk);
    }
  }
  FSize = FCapacity = FPosition = 0;
  return data;
}

void TByteStream::Reserve(int64_t capacity) {
  if (capacity > FCapacity) Grow(std::min(capacity, kMaxSize));
}

char* TByteStream::Extend(int64_t count) {
  if (count < 0 || count > kMaxSize - FSize) throw TError(kExpandError);
  const int64_t size = FSize + count;
  // Doubling keeps a stream written in small pieces from copying itself over
  // and over.
  if (size > FCapacity || FData == nullptr) {
    Grow(std::min(kMaxSize, std::max(size, 2 * FCapacity)));
  }
  char* const first = FData + FSize;
  FSize = size;
  FData[FSize] = '\0';
  return first;
}

void TByteStream::Truncate(int64_t size) {
  FSize = std::clamp<int64_t>(size, 0, FSize);
  if (FData != nullptr) FData[FSize] = '\0';
}

namespace {

// The size of a huge page, the block in which large texts are mapped and given back.
constexpr uintptr_t kHuge = uintptr_t{2} << 20;

// Asks the system to back the whole 2 MiB blocks of a large text with huge
// pages. A unit of a hundred megabytes is read, scanned and written once, so
// its cost is mostly that of mapping its memory page by page: on a virtual
// machine that shadows the guest's page tables, touching a fresh 4 KiB page
// costs microseconds, and a text of 145 MB took longer to touch than to copy
// twice. Only a hint: where the system has no huge pages, nothing changes.
void PreferHugePages(char* data, int64_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (size < static_cast<int64_t>(2 * kHuge)) return;
  const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t last =
      (reinterpret_cast<uintptr_t>(data) + static_cast<uintptr_t>(size)) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace

void TByteStream::GiveBack(int64_t count) {
#if defined(__linux__)
  if (FData == nullptr) return;
  const auto start = reinterpret_cast<uintptr_t>(FData);
  const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t last =
      (start + static_cast<uintptr_t>(std::clamp<int64_t>(count, 0, FSize))) & ~(kHuge - 1);
  // Inside the block malloc gave, whole pages only: its bookkeeping before
  // FData and after the end stays.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
  (void)count;
#endif
}

bool TByteStream::Populate(int64_t from, int64_t count) const {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  if (FData == nullptr) return false;
  constexpr uintptr_t kPage = 4096;
  const int64_t first = std::clamp<int64_t>(from, 0, FCapacity);
  const int64_t last = std::clamp<int64_t>(from + std::max<int64_t>(count, 0), first, FCapacity);
  // Whole pages: the system backs a page whatever part of it is asked for.
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(FData) + first) & ~(kPage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(FData) + last;
  if (end <= begin) return true;
  return ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
#else
  (void)from;
  (void)count;
  return false;
#endif
}

void TByteStream::Grow(int64_t capacity) {
  // realloc moves a large block by remapping its pages rather than copying them.
  void* data = std::realloc(FData, static_cast<size_t>(capacity + kScratch + 1));
  if (data == nullptr) throw TError(kExpandError);
  FData = static_cast<char*>(data);
  FCapacity = capacity;
  FData[FSize] = '\0';
  PreferHugePages(FData, capacity + kScratch + 1);
}

}  // namespace scrivlock
