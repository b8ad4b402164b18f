// Whether the compiler can skip a commenting module's body. The body stands
// between "{$ifopt R+}{$ifopt R-}" and the footer's "{$endif}", and the
// compiler skips it with a scanner that reads a string literal only to the
// end of its line: a comment text that spans lines and holds an unclosed "{"
// or "(*" there opens a comment that hides the "{$endif}", and one that holds
// a directive ends the skipping early. The project then does not build until
// the unit is re-commented.
#pragma once

#include <cstdint>
#include <string_view>

#include "source/SourceClass.h"

namespace scrivlock::source {

struct TSkipProblem {
  bool Found = false;
  // The entry whose text causes it (0: the module's header, e.g. a "{" in the
  // unit's file name).
  int32_t Entry = 0;
};

// Reads `module` as the compiler's skipping scanner does, with comments nesting
// as `dialect` says (the mode the module is compiled in), and names the first
// entry that keeps the body from being skipped. A text that is no module (no
// "{$ifopt R-}" or no footer) has no problem to tell.
TSkipProblem ForeseeSkipProblem(std::string_view module, TDialect dialect);

}  // namespace scrivlock::source
