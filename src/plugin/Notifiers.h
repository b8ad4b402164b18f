// The expert's two notifiers: TAddInNotifier hears the host's file events,
// TProjectNotifier those of the open project's module. Both belong to the
// expert (FExpert), which registers and removes them; they act only while the
// Comments window exists, and let no exception out.
#pragma once

#include <string>

#include "hostintf/EditIntf.h"
#include "hostintf/ToolIntf.h"

namespace scrivlock::plugin {

using namespace hostintf;

class TFormBrowserExpert;

class TAddInNotifier : public TIAddInNotifier {
 public:
  explicit TAddInNotifier(TFormBrowserExpert* expert) : FExpert(expert) {}

  // fnProjectOpened, fnAddedToProject and fnRemovedFromProject go to the
  // expert; `cancel` is never set.
  void FileNotification(TFileNotification notifyCode, const std::string& fileName,
                        bool& cancel) override;
  void EventNotification(TEventNotification notifyCode, bool& cancel) override;

 private:
  TFormBrowserExpert* FExpert;
};

class TProjectNotifier : public TIModuleNotifier {
 public:
  explicit TProjectNotifier(TFormBrowserExpert* expert) : FExpert(expert) {}

  // ncModuleDeleted hides the window and detaches the project (which releases
  // this notifier); ncModuleRenamed and ncAfterSave rebuild the unit list.
  void Notify(TNotifyCode notifyCode) override;
  void ComponentRenamed(void* componentHandle, const std::string& oldName,
                        const std::string& newName) override;

 private:
  TFormBrowserExpert* FExpert;
};

}  // namespace scrivlock::plugin
