#include "hosts/common/GuardedCall.h"

#include <exception>
#include <iterator>

namespace scrivlock::hosts {

namespace {

struct TCallText {
  const char* Name;
  const char* Occasion;
};

// In the order of TPlugInCall.
constexpr TCallText kCallTexts[] = {
    {"FileNotification", "a file notification"},
    {"Notify", "a module notification"},
    {"EventNotification", "an event notification"},
    {"entry point", "its entry point"},
    {"terminate routine", "its terminate routine"},
    {"expert release", "the release of its expert"},
    {"menu click", "a menu click"},
};
static_assert(std::size(kCallTexts) == pcMenuClick + 1);

}  // namespace

const char* TEscape::CallName() const {
  return kCallTexts[Call].Name;
}

std::string TEscape::Sentence() const {
  return std::string("A plug-in failed on ") + kCallTexts[Call].Occasion + ": " + Message;
}

bool CallGuarded(TPlugInCall call, const std::function<void()>& body, const TEscapeReport& report) {
  std::string message;
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown exception";
  }
  if (report) report(TEscape{call, std::move(message)});
  return false;
}

}  // namespace scrivlock::hosts
