#include "commands/CommandSite.h"

#include <cstdio>

namespace scrivlock::commands {

bool TCommandSite::DeleteModuleFile(const std::string& fileName) {
  return std::remove(fileName.c_str()) == 0;
}

}  // namespace scrivlock::commands
