// The index record that introduces each entry of a commenting module:
// "%-8.8d,%-6.6s,%-8.8d" of number, kind name and length, e.g.
// "00000001,Keys  ,00000006". 24 characters while both numbers stay below
// 100000000; larger numbers take more digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "source/CommentKind.h"

namespace scrivlock::source {

// Writes `value` as "%-8.8d" does (at least eight digits, zero-filled, sign in
// front) at `out`, which must have room for 12 bytes; returns the end.
char* FormatRecordNumber(char* out, int32_t value);

class TTipoNumero {
 public:
  int32_t Number = 0;          // entry number; the same number stands in the entry's marker
  TCommentKind Kind = ckLine;  // zero, as every field of a new record
  int32_t Length = 0;          // bytes of comment text stored in the entry

  std::string ToText() const;
  // Writes ToText() at `out`, which must have room for kMaxText bytes, and
  // returns the end of what it wrote.
  static constexpr size_t kMaxText = 40;
  char* Format(char* out) const;
  // Reads a record text. False, with the fields unchanged, when it splits into
  // fewer than three items; a number that is not one reads as 0 and an unknown
  // kind name as ckNone. Never throws.
  bool FromText(std::string_view text);
  // The kind whose name is exactly `name` (case matters); ckNone when none is.
  static TCommentKind KindFromName(std::string_view name);
};

}  // namespace scrivlock::source
