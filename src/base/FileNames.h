// File-name helpers. A unit is named by its full file name; its name-and-extension
// part is everything after the last backslash, colon or slash, and its extension
// runs from the last "." of that part, the dot included.
#pragma once

#include <string>
#include <string_view>

namespace scrivlock {

// "C:\src\Unit1.pas" and "/src/Unit1.pas" both give "Unit1.pas".
std::string_view ExtractFileName(std::string_view path);
// The extension with its dot (".pas"), or empty when the name part has no dot.
std::string_view ExtractFileExt(std::string_view path);
// The folder part, separator included ("/src/"), or empty.
std::string_view ExtractFilePath(std::string_view path);

std::string UpperCase(std::string_view text);           // ASCII letters only
bool SameText(std::string_view a, std::string_view b);  // ASCII, case-insensitive

// Whether `fileName` names a unit that UnComment takes: its extension is
// ".pas" or ".pp" in any letter case (Free Pascal's own units are ".pp").
// Include files, programs and forms (".inc", ".lpr", ".dpr", ".lfm") are not.
bool IsUnitFileName(std::string_view fileName);

}  // namespace scrivlock
