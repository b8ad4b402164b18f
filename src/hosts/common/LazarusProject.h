// What a Lazarus project file (.lpi, XML) says about how its units compile.
#pragma once

#include <string>
#include <string_view>

namespace scrivlock::hosts {

// The syntax mode of `lpi`, a Lazarus project file's text: the Value of its
// <SyntaxMode> element, in lower case ("objfpc", "delphi"); "objfpc",
// Lazarus's default, when the element is absent.
std::string LazarusSyntaxMode(std::string_view lpi);

// The syntax mode of the Lazarus project in `folder` (its first .lpi file by
// name); empty when the folder holds none or it cannot be read.
std::string FolderSyntaxMode(const std::string& folder);

}  // namespace scrivlock::hosts
