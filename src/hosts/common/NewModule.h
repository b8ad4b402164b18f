// What a new module is made of when a host's CreateModuleEx makes one: the
// request's flags and the text the module starts with.
#pragma once

#include <string>
#include <string_view>

#include "hostintf/ToolIntf.h"

namespace scrivlock {
class TByteStream;
}

namespace scrivlock::hosts {

// Whether `flags` holds `flag` (bits as in TCreateModuleFlag).
constexpr bool HasCreateFlag(hostintf::TCreateModuleFlags flags, hostintf::TCreateModuleFlag flag) {
  return (flags & hostintf::CreateFlag(flag)) != 0;
}

// The empty unit: "unit <unitIdent>;", then empty interface and implementation
// sections and "end.", lines ending in CR LF.
std::string NewUnitText(std::string_view unitIdent);

// The text a new module of `fileName` starts with: the bytes of `source` when
// it is given; else, with cmNewUnit, the empty unit named after the file
// (UnitIdentOf); else nothing.
std::string NewModuleText(const TByteStream* source, hostintf::TCreateModuleFlags flags,
                          std::string_view fileName);

}  // namespace scrivlock::hosts
