// The index record that introduces each entry of a commenting module, as an
// object: its fields and the record's text. Layout, writing and reading are
// those of source/Record.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "source/Record.h"

namespace scrivlock::source {

class TTipoNumero : public record::TFields {
 public:
  // "%-8.8d,%-6.6s,%-8.8d" of Number, the kind's name and Length.
  std::string ToText() const;
  // Writes ToText() at `out`, which must have room for kMaxText bytes, and
  // returns the end of what it wrote.
  static constexpr size_t kMaxText = record::kMaxRecord;
  char* Format(char* out) const { return record::FormatRecord(out, *this); }
  // Reads a record text. False, with the fields unchanged, when it splits into
  // fewer than three items; a number that is not one reads as 0 and an unknown
  // kind name as ckNone. Never throws.
  bool FromText(std::string_view text) { return record::ParseRecord(text, *this); }
  // The kind whose name is exactly `name` (case matters); ckNone when none is.
  static TCommentKind KindFromName(std::string_view name) { return record::KindFromName(name); }
};

}  // namespace scrivlock::source
