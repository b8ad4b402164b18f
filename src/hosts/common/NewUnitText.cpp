#include "hosts/common/NewUnitText.h"

namespace scrivlock::hosts {

std::string NewUnitText(std::string_view unitIdent) {
  return "unit " + std::string(unitIdent) +
         ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
}

}  // namespace scrivlock::hosts
