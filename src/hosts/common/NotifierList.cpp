#include "hosts/common/NotifierList.h"

namespace scrivlock::hosts {

using namespace scrivlock::hostintf;

namespace {

template <class T, class Call>
void FanOut(const std::vector<T*>& list, TPlugInCall call, const TEscapeReport& report,
            const Call& notify) {
  const std::vector<T*> notifiers = list;
  for (T* notifier : notifiers) {
    if (std::find(list.begin(), list.end(), notifier) == list.end()) continue;
    CallGuarded(
        call, [&] { notify(*notifier); }, report);
  }
}

}  // namespace

void NotifyFile(const std::vector<TIAddInNotifier*>& list, TFileNotification code,
                const std::string& fileName, const TEscapeReport& report) {
  // A notifier may change what `fileName` refers to (a host's buffer name).
  const std::string name = fileName;
  FanOut(list, pcFileNotification, report, [&](TIAddInNotifier& notifier) {
    bool cancel = false;
    notifier.FileNotification(code, name, cancel);
  });
}

void NotifyEvent(const std::vector<TIAddInNotifier*>& list, TEventNotification code,
                 const TEscapeReport& report) {
  FanOut(list, pcEventNotification, report, [&](TIAddInNotifier& notifier) {
    bool cancel = false;
    notifier.EventNotification(code, cancel);
  });
}

void NotifyModule(const std::vector<TIModuleNotifier*>& list, TNotifyCode code,
                  const TEscapeReport& report) {
  FanOut(list, pcModuleNotification, report,
         [&](TIModuleNotifier& notifier) { notifier.Notify(code); });
}

}  // namespace scrivlock::hosts
