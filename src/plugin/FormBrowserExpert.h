// TFormBrowserExpert: the plug-in's expert. Registered by the entry point
// (Entry.cpp) and owned by the host from then on. It puts "Comments..." into the
// host's View menu right after "ViewPrjMgrItem", shows the Comments window on
// each choice, and with its add-in notifier and a notifier on the open
// project's module keeps the window's unit list in step with the project while
// the window exists. The expert asks the host for the project's units and hands
// them to the window, which knows nothing of the host.
//
// Every call from the host (the menu handler, the notifiers) runs on its
// user-interface thread and lets no exception out: a failure goes to the
// standard report (ui/Application.h).
#pragma once

#include <string>

#include "hostintf/ExptIntf.h"
#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolIntf.h"

namespace scrivlock::plugin {

using namespace hostintf;

class TAddInNotifier;
class TProjectNotifier;

class TFormBrowserExpert : public TIExpert {
 public:
  // Inserts the menu item ViewScrivlockItem when the host's main menu, its
  // top-level items, "ViewPrjMgrItem" and that item's parent all exist (else
  // silently none), then registers the add-in notifier. REQUIRES: ToolServices.
  TFormBrowserExpert();

  std::string GetName() override;  // "Comments Expert"
  std::string GetAuthor() override;
  std::string GetComment() override;  // empty
  std::string GetPage() override;     // empty
  intptr_t GetGlyph() override;       // 0
  TExpertStyle GetStyle() override;   // esAddIn
  TExpertState GetState() override;   // empty set
  std::string GetIDString() override;
  std::string GetMenuText() override;  // empty
  void Execute() override;             // nothing: an add-in has its own menu item

  // The menu item's handler: creates the Comments window if need be, rebuilds
  // its unit list from the host and shows it, without waiting.
  void MenuClick(TIMenuItemIntf* sender);

  // Rebuilds the window's list from the host: every project file whose
  // extension is ".PAS" in any letter case, made absolute against the current
  // folder, in the host's order. Nothing while the window does not exist.
  void RefreshUnitList();

  // Called by the notifiers while the Comments window exists.
  // Detaches a former project, lists the ".PAS" units of the project
  // `fileName` (appended to the list as it stands) and attaches a project
  // notifier to its module, when the host has one.
  void ProjectOpened(const std::string& fileName);
  // Empties the list and removes the project notifier; nothing when no project
  // is attached.
  void DetachProject();
  // Appends `fileName` as it is, whatever its extension, duplicates included.
  void UnitAdded(const std::string& fileName);
  // Removes the first entry equal to `fileName` regardless of letter case.
  void UnitRemoved(const std::string& fileName);

  // EnumProjectUnits' callback: collects a ".PAS" unit. `param` is the
  // collection (FormBrowserExpert.cpp). False (stop) only when it fails; the
  // failure is kept in the collection, for ProjectOpened to raise once the
  // host's walk is over.
  static bool EnumUnitProc(void* param, const std::string& fileName, const std::string& unitName,
                           const std::string& formName);

 protected:
  // Detaches the project, unregisters the add-in notifier, releases the menu
  // item, and frees the application object with the Comments window: the host
  // releases the expert before it unloads the plug-in.
  ~TFormBrowserExpert() override;

 private:
  TInterfacePtr<TIMenuItemIntf> FMenuItem;
  TInterfacePtr<TAddInNotifier> FAddInNotifier;
  TInterfacePtr<TProjectNotifier> FProjectNotifier;
  TInterfacePtr<TIModuleInterface> FProjectModule;
};

}  // namespace scrivlock::plugin
