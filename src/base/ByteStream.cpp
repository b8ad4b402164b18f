#include "base/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Error.h"

namespace scrivlock {

int64_t TByteStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= Size()) return 0;
  const int64_t n = std::min(count, Size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

void TByteStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return;
  const int64_t end = FPosition + count;
  if (end > kMaxSize) throw TError(kExpandError);
  try {
    if (FPosition == Size()) {
      FBytes.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    } else {
      if (end > Size()) FBytes.resize(static_cast<size_t>(end));
      std::memcpy(FBytes.data() + FPosition, buffer, static_cast<size_t>(count));
    }
  } catch (const std::bad_alloc&) {
    throw TError(kExpandError);
  }
  FPosition = end;
}

void TByteStream::Append(std::string_view bytes) {
  if (Size() + static_cast<int64_t>(bytes.size()) > kMaxSize) throw TError(kExpandError);
  try {
    FBytes.append(bytes);
  } catch (const std::bad_alloc&) {
    throw TError(kExpandError);
  }
}

void TByteStream::SetSize(int64_t size) {
  if (size < 0 || size > kMaxSize) throw TError(kExpandError);
  try {
    FBytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw TError(kExpandError);
  }
}

void TByteStream::Reserve(int64_t capacity) {
  if (capacity > 0) FBytes.reserve(static_cast<size_t>(std::min(capacity, kMaxSize)));
}

}  // namespace scrivlock
