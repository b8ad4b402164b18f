#include "hosts/common/GuardedCall.h"

#include <exception>

namespace scrivlock::hosts {

namespace {

struct TCallText {
  const char* Name;
  const char* Occasion;
};

TCallText TextOf(TPlugInCall call) {
  switch (call) {
    case pcFileNotification:
      return {"FileNotification", "a file notification"};
    case pcModuleNotification:
      return {"Notify", "a module notification"};
    case pcEntryPoint:
      return {"entry point", "its entry point"};
    case pcTerminate:
      return {"terminate routine", "its terminate routine"};
    case pcExpertRelease:
      return {"expert release", "the release of its expert"};
    case pcMenuClick:
      return {"menu click", "a menu click"};
  }
  return {"call", "a call"};
}

}  // namespace

const char* TEscape::CallName() const {
  return TextOf(Call).Name;
}

std::string TEscape::Sentence() const {
  return std::string("A plug-in failed on ") + TextOf(Call).Occasion + ": " + Message;
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
