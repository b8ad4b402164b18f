#include "expert/ToolServices.h"

namespace scrivlock::expert {

TIToolServices* ToolServices = nullptr;

}  // namespace scrivlock::expert
