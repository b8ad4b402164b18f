#include "hosts/common/UnitNames.h"

#include <filesystem>
#include <system_error>

#include "base/FileNames.h"

namespace scrivlock::hosts {

std::string UnitIdentOf(std::string_view fileName) {
  std::string_view name = ExtractFileName(fileName);
  name.remove_suffix(ExtractFileExt(name).size());
  return std::string(name);
}

void NextFreeModuleName(std::string_view folder, const TNameTakenProc& taken,
                        std::string& unitIdent, std::string& fileName) {
  for (int n = 1;; ++n) {
    const std::string base = std::string(folder) + "Unit" + std::to_string(n);
    std::string candidate = base + ".pas";
    // A unit UnitN.pp would share the new unit's identifier.
    if (!taken(candidate) && !taken(base + ".pp")) {
      unitIdent = "Unit" + std::to_string(n);
      fileName = std::move(candidate);
      return;
    }
  }
}

bool ExistsOnDisk(const std::string& fileName) {
  std::error_code error;
  return std::filesystem::exists(fileName, error);
}

}  // namespace scrivlock::hosts
