// Which dialect a unit's comments are read in when the user leaves it to the
// unit ("auto"), as Free Pascal decides it: the unit's own {$mode} directive,
// else the project's mode, else the compiler's default mode, fpc.
#pragma once

#include <optional>
#include <string_view>

#include "source/SourceClass.h"

namespace scrivlock::source {

// The dialect of a Free Pascal mode ("objfpc", "Delphi", ...; letter case not
// told apart): dlFpc for fpc and objfpc, dlDelphi for delphi, delphiunicode,
// tp, macpas, iso, extendedpascal and gpc; none for a name that is no mode.
std::optional<TDialect> DialectOfMode(std::string_view mode);

// The dialect that the unit's own directives choose: its {$mode ...} and any
// {$modeswitch nestedcomments[+|-]}, read in code up to the word "interface"
// (or "implementation", "begin"), where the compiler no longer takes them.
// The comments before them are read in `start`. None when they choose none.
std::optional<TDialect> UnitDialect(std::string_view text, TDialect start);

// The "auto" dialect of a unit: its own choice, else `project` (the project's
// mode), else dlFpc.
TDialect AutoDialect(std::string_view text, std::optional<TDialect> project);

}  // namespace scrivlock::source
