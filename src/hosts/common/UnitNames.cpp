#include "hosts/common/UnitNames.h"

#include "base/FileNames.h"

namespace scrivlock::hosts {

std::string UnitIdentOf(std::string_view fileName) {
  std::string_view name = ExtractFileName(fileName);
  name.remove_suffix(ExtractFileExt(name).size());
  return std::string(name);
}

TNewModuleName NextFreeModuleName(std::string_view folder, const TNameTakenProc& taken) {
  for (int n = 1;; ++n) {
    std::string ident = "Unit" + std::to_string(n);
    std::string candidate = std::string(folder) + ident + ".pas";
    if (!taken(candidate)) return {std::move(ident), std::move(candidate)};
  }
}

}  // namespace scrivlock::hosts
