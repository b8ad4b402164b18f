// TWriterCursor: the positions of an editor writer (TIEditWriter, EditIntf.h),
// worked out in one place for every host, so that all of them number them alike.
//
// A writer makes a new text from the text its buffer held when the writer was
// created, the original text. The cursor is a position in the original text,
// 0 at first; every position given is one of the original text:
//   - Insert(text) adds the zero-terminated `text` to the new text. The cursor
//     does not move, so texts inserted at one place keep their order;
//   - CopyTo(P) keeps the original bytes from the cursor through P, DeleteTo(P)
//     drops them; both move the cursor to P + 1;
//   - a P below the cursor (a negative one too) keeps or drops nothing and
//     leaves the cursor; a P at or past the end of the original stops there;
//   - Finish() keeps the original bytes from the cursor to the end: the new
//     text is complete. The host calls it once, when the writer is released.
//
// The cursor holds no text: it hands each piece of the new text to a
// TWriterSink, which the host implements over its own storage (a string, a
// temporary file). When the sink fails, the cursor fails for good: every later
// call answers false and hands the sink nothing, and the host must leave the
// buffer as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace scrivlock::hosts {

class TWriterSink {
 public:
  virtual ~TWriterSink() = default;
  // Appends `count` bytes of inserted text. False when they cannot be kept.
  virtual bool Append(const char* data, size_t count) = 0;
  // Appends the original bytes [from, to); from < to <= the original's size.
  // False when they cannot be read or kept.
  virtual bool Keep(size_t from, size_t to) = 0;
};

class TWriterCursor {
 public:
  // `sink` is borrowed and must outlive the cursor.
  TWriterCursor(size_t originalSize, TWriterSink& sink) : FSize(originalSize), FSink(sink) {}
  TWriterCursor(const TWriterCursor&) = delete;
  TWriterCursor& operator=(const TWriterCursor&) = delete;

  // False when the cursor has failed, or the sink fails now. A null `text`
  // inserts nothing and answers false, without failing the cursor.
  bool Insert(const char* text);
  // False when the cursor has failed, or the sink fails now.
  bool CopyTo(int32_t position) { return Advance(position, true); }
  bool DeleteTo(int32_t position) { return Advance(position, false); }
  // True when the new text is complete: nothing failed.
  bool Finish();

  int32_t CurrentPos() const { return static_cast<int32_t>(FCursor); }
  bool Failed() const { return FFailed; }

 private:
  bool Advance(int32_t position, bool keep);
  bool KeepTo(size_t stop);

  size_t FSize;
  TWriterSink& FSink;
  size_t FCursor = 0;
  bool FFailed = false;
};

// The sink of a host that holds its buffers' texts in memory: the new text is
// built in a string.
class TStringWriterSink final : public TWriterSink {
 public:
  explicit TStringWriterSink(std::string original) : FOriginal(std::move(original)) {}

  const std::string& Original() const { return FOriginal; }
  // The new text so far; complete after the cursor's Finish.
  std::string& Result() { return FResult; }

  bool Append(const char* data, size_t count) override;
  bool Keep(size_t from, size_t to) override;

 private:
  std::string FOriginal;
  std::string FResult;
};

}  // namespace scrivlock::hosts
