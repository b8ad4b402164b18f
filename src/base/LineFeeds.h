// Counting the lines of a text, for placing a message in a unit.
#pragma once

#include <cstdint>
#include <string_view>

namespace scrivlock {

// The number of line feeds (byte 10) in `text`.
int64_t CountLineFeeds(std::string_view text);

}  // namespace scrivlock
