// How a host names units: the identifier of a unit's file, and the name that
// an IDE gives its next new unit.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace scrivlock::hosts {

// The unit identifier that goes with a file name: the name without folder and
// extension ("/p/Unit1.pas" and "C:\p\Unit1.pas" give "Unit1").
std::string UnitIdentOf(std::string_view fileName);

// Whether the host has a file of that full name: one it knows (in its project
// or open in its editor) or one on disk, as the host sees them. It must answer
// for every letter case of the name: Unit1.pas is not free while the host
// knows UNIT1.PAS.
using TNameTakenProc = std::function<bool(const std::string& fileName)>;

// Fills in, as GetNewModuleName does, the first "UnitN.pas" (N = 1, 2, ...)
// that `taken` does not claim, nor "UnitN.pp" (a unit of the same
// identifier), and its unit identifier UnitN. `folder` is put
// before the name as it stands, so it ends with a separator.
void NextFreeModuleName(std::string_view folder, const TNameTakenProc& taken,
                        std::string& unitIdent, std::string& fileName);

// Whether something of that name exists on disk (exactly that name); false
// also when the file system cannot tell.
bool ExistsOnDisk(const std::string& fileName);

}  // namespace scrivlock::hosts
