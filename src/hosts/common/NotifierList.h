// The registries of notifiers that every host keeps (the add-in notifiers of
// the tool services, the notifiers of each module) and the fan-out that tells
// them of an event. A host only borrows a notifier, so a list holds plain
// pointers; the plug-in removes its notifier before it lets it go.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "hostintf/EditIntf.h"
#include "hostintf/ToolIntf.h"
#include "hosts/common/GuardedCall.h"

namespace scrivlock::hosts {

// Adds `notifier` unless it is null or listed already; returns whether it was added.
template <class T>
bool AddNotifierTo(std::vector<T*>& list, T* notifier) {
  if (!notifier || std::find(list.begin(), list.end(), notifier) != list.end()) return false;
  list.push_back(notifier);
  return true;
}

// Removes `notifier`; returns whether it was listed.
template <class T>
bool RemoveNotifierFrom(std::vector<T*>& list, T* notifier) {
  const auto it = std::find(list.begin(), list.end(), notifier);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

// The fan-out. Each notifier of `list` is called in the order it was added.
// `list` is the host's own registry (it must outlive the fan-out), which a
// notifier may change while it is called: one removed meanwhile (itself or
// another) is not called after its removal, since it may be gone; one added
// meanwhile first hears the next event. An exception a notifier lets out goes
// to `report` (GuardedCall.h) and the fan-out goes on with the next notifier.

// FileNotification(code, fileName, cancel) with a `cancel` of its own for each
// notifier, starting false. No event of our hosts can be vetoed: it is not read.
void NotifyFile(const std::vector<hostintf::TIAddInNotifier*>& list,
                hostintf::TFileNotification code, const std::string& fileName,
                const TEscapeReport& report);
// EventNotification(code, cancel), `cancel` as for NotifyFile.
void NotifyEvent(const std::vector<hostintf::TIAddInNotifier*>& list,
                 hostintf::TEventNotification code, const TEscapeReport& report);
// Notify(code).
void NotifyModule(const std::vector<hostintf::TIModuleNotifier*>& list, hostintf::TNotifyCode code,
                  const TEscapeReport& report);

}  // namespace scrivlock::hosts
