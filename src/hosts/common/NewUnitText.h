// The text a host gives a new, empty unit (CreateModuleEx with cmNewUnit).
#pragma once

#include <string>
#include <string_view>

namespace scrivlock::hosts {

// "unit <unitIdent>;", then empty interface and implementation sections and
// "end.", lines ending in CR LF.
std::string NewUnitText(std::string_view unitIdent);

}  // namespace scrivlock::hosts
