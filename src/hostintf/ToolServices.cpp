#include "hostintf/ToolServices.h"

namespace scrivlock::hostintf {

TIToolServices* ToolServices = nullptr;

}  // namespace scrivlock::hostintf
