#include "plugin/Notifiers.h"

#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolServices.h"
#include "plugin/FormBrowserExpert.h"
#include "ui/Application.h"
#include "ui/Comments.h"

namespace scrivlock::plugin {

void TAddInNotifier::FileNotification(TFileNotification notifyCode, const std::string& fileName,
                                      bool& /*cancel*/) {
  ui::Guarded([&] {
    if (!ui::Comments) return;
    switch (notifyCode) {
      case fnProjectOpened:
        FExpert->ProjectOpened(fileName);
        break;
      case fnAddedToProject:
        FExpert->UnitAdded(fileName);
        break;
      case fnRemovedFromProject:
        FExpert->UnitRemoved(fileName);
        break;
      default:
        break;
    }
  });
}

void TAddInNotifier::EventNotification(TEventNotification notifyCode, bool& /*cancel*/) {
  ui::Guarded([&] {
    // The list shows the unit of the active editor, when it is listed.
    if (notifyCode == enCurrentFileChanged && ui::Comments && ToolServices)
      ui::Comments->SelectUnit(ToolServices->GetCurrentFile());
  });
}

void TProjectNotifier::Notify(TNotifyCode notifyCode) {
  // Detaching releases the expert's reference to this notifier; it lives to the
  // end of the call on this one.
  const auto self = TInterfacePtr<TProjectNotifier>::Retain(this);
  ui::Guarded([&] {
    switch (notifyCode) {
      case ncModuleDeleted:
        if (ui::Comments) ui::Comments->HideWindow();
        FExpert->DetachProject();
        break;
      case ncModuleRenamed:
      case ncAfterSave:
        FExpert->RefreshUnitList();
        break;
      default:
        break;
    }
  });
}

void TProjectNotifier::ComponentRenamed(void* /*componentHandle*/, const std::string& /*oldName*/,
                                        const std::string& /*newName*/) {}

}  // namespace scrivlock::plugin
