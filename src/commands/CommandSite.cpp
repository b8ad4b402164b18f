#include "commands/CommandSite.h"

#include <cstdio>

#include "hostintf/ToolServices.h"

namespace scrivlock::commands {

void TCommandSite::ShowMessageAt(const std::string& text, const TTextPlace& /*place*/) {
  ShowMessage(text);
}

bool TCommandSite::DeleteModuleFile(const std::string& fileName) {
  // The host knows whether the restored unit is on disk yet.
  if (hostintf::ToolServices) return hostintf::ToolServices->DeleteModuleFile(fileName);
  return std::remove(fileName.c_str()) == 0;
}

}  // namespace scrivlock::commands
