#include "hostintf/ToolServices.h"

#include <cstdio>

namespace scrivlock::hostintf {

TIToolServices* ToolServices = nullptr;

std::string TIToolServices::GetCurrentFile() {
  return {};
}

bool TIToolServices::DeleteModuleFile(const std::string& fileName) {
  return std::remove(fileName.c_str()) == 0;
}

std::string TIToolServices::GetProjectOption(const std::string& /*fileName*/,
                                             const std::string& /*name*/) {
  return {};
}

}  // namespace scrivlock::hostintf
