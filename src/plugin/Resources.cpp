#include "plugin/Resources.h"

namespace scrivlock::plugin {

std::string LoadStr(int32_t id) {
  switch (id) {
    case SMenuCaption:
      return "Comments...";
    case SExpertName:
      return "Comments Expert";
    default:
      return {};
  }
}

}  // namespace scrivlock::plugin
