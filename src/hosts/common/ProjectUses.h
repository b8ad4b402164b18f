// The uses clause of a project file (a program's or a library's main source,
// .dpr or .lpr): where it stands and what it names, and the edits an IDE makes
// to it when a unit joins or leaves the project.
//
// The text is read with Object Pascal's own rules, so a "uses", a comma or a
// semicolon inside a comment ({...}, (*...*), //...), a compiler directive or
// a string literal is not taken for part of the clause. The text comes from a
// file, so anything may be in it: the reader never fails and never reads past
// the end; a text it cannot follow is reported as not readable, and the edits
// then leave it alone.
//
// Removing an entry is the exact inverse of adding it: a text to which
// AddUsesEntry added a unit and RemoveUsesEntry took it away again is the text
// it was, byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scrivlock::hosts {

struct TUsesEntry {
  std::string Unit;    // the unit's name as written: "Greeter", "System.SysUtils"
  std::string InFile;  // the file named after "in", quotes taken off; empty without "in"
  size_t Start = 0;    // the entry's first byte (its name)
  size_t Stop = 0;     // one past its last byte (the closing quote, or the name)
  size_t Comma = 0;    // the comma after it; 0 for the last entry
};

struct TProjectUses {
  // The text begins (after comments) with a heading ("program X;", "library
  // X;") or a uses clause, and the clause, if any, could be followed to its
  // semicolon. Nothing else here means anything when this is false.
  bool Readable = false;
  bool HasHeading = false;
  bool HasClause = false;
  // Where a clause goes, or begins with the white space before its "uses":
  // just after what precedes it (the heading's ";", a comment or directive;
  // after a line comment, after the line break that ends it).
  size_t ClauseGap = 0;
  size_t ClauseStart = 0;  // the "uses"
  size_t ClauseStop = 0;   // its ";"
  std::vector<TUsesEntry> Entries;
};

// Reads the heading and the uses clause of `text`.
TProjectUses ReadProjectUses(std::string_view text);

// The line break `text` uses: that of its first line break ("\r\n", "\n" or
// "\r"); "\r\n" when it has none.
std::string_view LineBreakOf(std::string_view text);

// Adds "<unit> in '<file>'" to the uses clause of `text`, on a line of its own
// after the last entry; a text without a clause gets one after its heading
// (and its comments and directives). Lines break as the text's do. False,
// with `text` unchanged, when the text is not readable, has neither clause
// nor heading, `unit` is not an identifier (dotted ones allowed), or the
// clause names `unit` already (letter case not told apart).
bool AddUsesEntry(std::string& text, std::string_view unit, std::string_view file);

// Takes the entry of `unit` (letter case not told apart; the first, if there
// are several) out of the uses clause with its comma, or the whole clause
// when it is the only entry. Comments and directives around the entry stay.
// False, with `text` unchanged, when the text is not readable, has no such
// entry, or the entry is the only one and the clause holds comments too.
bool RemoveUsesEntry(std::string& text, std::string_view unit);

}  // namespace scrivlock::hosts
