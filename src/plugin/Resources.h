// The plug-in's string resources, by number.
#pragma once

#include <cstdint>
#include <string>

namespace scrivlock::plugin {

inline constexpr int32_t SMenuCaption = 65358;  // "Comments..."
inline constexpr int32_t SExpertName = 65359;   // "Comments Expert"

// The text of string resource `id`; empty for an unknown number.
std::string LoadStr(int32_t id);

}  // namespace scrivlock::plugin
