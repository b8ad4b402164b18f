// The kinds of comment an index record names.
#pragma once

#include <cstdint>
#include <string_view>

namespace scrivlock::source {

enum TCommentKind : uint8_t {
  ckLine = 0,   // "//" to the end of the line
  ckBrace = 1,  // "{" ... "}"
  ckParen = 2,  // "(*" ... "*)"
  ckEnd = 3,    // the end record
  ckNone = 4,   // no comment open; a name that matches none of the others
};

// The names written into index records, indexed by kind.
inline constexpr std::string_view CommentKindNames[5] = {"Bars", "Keys", "Pars", "Fin", ""};

}  // namespace scrivlock::source
