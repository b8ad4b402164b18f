#include "hosts/common/WriterCursor.h"

#include <algorithm>
#include <cstring>

namespace scrivlock::hosts {

bool TWriterCursor::Insert(const char* text) {
  if (FFailed || !text) return false;
  // Measured and handed on a piece at a time, while the piece is in the cache:
  // a text may be hundreds of megabytes.
  constexpr size_t kPiece = size_t{1} << 20;
  for (;;) {
    const size_t n = ::strnlen(text, kPiece);
    if (n > 0 && !FSink.Append(text, n)) {
      FFailed = true;
      return false;
    }
    if (n < kPiece) return true;
    text += n;
  }
}

bool TWriterCursor::Advance(int32_t position, bool keep) {
  if (FFailed) return false;
  if (position < 0 || static_cast<size_t>(position) < FCursor) return true;
  const size_t stop = std::min(static_cast<size_t>(position) + 1, FSize);
  if (keep) return KeepTo(stop);
  FCursor = std::max(FCursor, stop);
  return true;
}

bool TWriterCursor::KeepTo(size_t stop) {
  if (stop <= FCursor) return true;
  if (!FSink.Keep(FCursor, stop)) {
    FFailed = true;
    return false;
  }
  FCursor = stop;
  return true;
}

bool TWriterCursor::Finish() {
  return !FFailed && KeepTo(FSize);
}

bool TStringWriterSink::Append(const char* data, size_t count) {
  FResult.append(data, count);
  return true;
}

bool TStringWriterSink::Keep(size_t from, size_t to) {
  FResult.append(FOriginal, from, to - from);
  return true;
}

}  // namespace scrivlock::hosts
