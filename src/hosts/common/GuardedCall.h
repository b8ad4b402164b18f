// What a host does with an exception that a plug-in lets out of a call into it
// (a notifier, its entry point, its terminate routine, its expert's Release, a
// menu handler): the exception stops at the call. The host hears of it through
// a TEscapeReport and goes on with its own work (the next notifier is called,
// the next expert released), so no exception of a plug-in travels through the
// host's code or reaches the event loop.
#pragma once

#include <functional>
#include <string>

namespace scrivlock::hosts {

// The calls into a plug-in that a host guards.
enum TPlugInCall {
  pcFileNotification,    // TIAddInNotifier::FileNotification
  pcModuleNotification,  // TIModuleNotifier::Notify
  pcEventNotification,   // TIAddInNotifier::EventNotification
  pcEntryPoint,          // INITEXPERT0017
  pcTerminate,           // the terminate routine the entry point handed back
  pcExpertRelease,       // the host's Release of a registered expert
  pcMenuClick,           // the handler of a menu item the plug-in inserted (stays last)
};

// An exception that a plug-in let out of `Call`.
struct TEscape {
  TPlugInCall Call;
  std::string Message;  // what() of a std::exception, else "unknown exception"

  // The call's short name: "FileNotification", "Notify", "EventNotification",
  // "entry point", "terminate routine", "expert release" or "menu click".
  const char* CallName() const;
  // What a host tells its user: "A plug-in failed on a file notification: ...".
  std::string Sentence() const;
};

// Hears every escape. It must not throw.
using TEscapeReport = std::function<void(const TEscape& escape)>;

// Runs `body`, a call into a plug-in. An exception it lets out goes to `report`
// (when set) and no further. Returns whether `body` ended without one.
bool CallGuarded(TPlugInCall call, const std::function<void()>& body, const TEscapeReport& report);

}  // namespace scrivlock::hosts
