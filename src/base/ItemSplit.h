// Splitting of a comma-separated list of items, the way the commenting module's
// header line and index records and the encoded-text header line are read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scrivlock {

// Splits `text` into items:
// - bytes 1 to 32 before an item are skipped;
// - an item that begins with a double quote runs to the matching closing quote
//   (a doubled quote inside stands for one; the quotes are not part of the item;
//   an unclosed item runs to the end);
// - any other item runs up to the next comma, the next byte 1 to 32 or the end;
// - after an item, bytes 1 to 32 are skipped, then one comma together with the
//   bytes 1 to 32 that follow it. So "a,,b" gives "a", "" and "b".
// A zero byte ends the text, as it would a zero-terminated string.
std::vector<std::string> SplitItems(std::string_view text);

// Reads `text` as a decimal integer with an optional sign. Returns false (and
// leaves `value` alone) when it is not one or does not fit in 32 bits.
bool ParseInt32(std::string_view text, int32_t& value);

}  // namespace scrivlock
