#include "source/TipoNumero.h"

namespace scrivlock::source {

std::string TTipoNumero::ToText() const {
  char text[kMaxText];
  return std::string(text, Format(text));
}

}  // namespace scrivlock::source
