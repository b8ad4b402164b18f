#include "hosts/common/NewModule.h"

#include "base/ByteStream.h"
#include "hosts/common/UnitNames.h"

namespace scrivlock::hosts {

std::string NewUnitText(std::string_view unitIdent) {
  return "unit " + std::string(unitIdent) +
         ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
}

std::string NewModuleText(const TByteStream* source, hostintf::TCreateModuleFlags flags,
                          std::string_view fileName) {
  if (source) return std::string(source->View());
  if (HasCreateFlag(flags, hostintf::cmNewUnit)) return NewUnitText(UnitIdentOf(fileName));
  return {};
}

}  // namespace scrivlock::hosts
