#include "plugin/FormBrowserExpert.h"

#include <utility>

#include "base/FileNames.h"
#include "hostintf/ToolServices.h"
#include "plugin/Notifiers.h"
#include "plugin/Resources.h"
#include "ui/Application.h"
#include "ui/Comments.h"

namespace scrivlock::plugin {

namespace {

constexpr const char* kProjectManagerItem = "ViewPrjMgrItem";
constexpr const char* kMenuItemName = "ViewScrivlockItem";

bool IsPascalUnit(const std::string& fileName) {
  return UpperCase(ExtractFileExt(fileName)) == ".PAS";
}

}  // namespace

TFormBrowserExpert::TFormBrowserExpert() {
  {
    TInterfacePtr<TIMainMenuIntf> mainMenu(ToolServices->GetMainMenu());
    TInterfacePtr<TIMenuItemIntf> topItems(mainMenu ? mainMenu->GetMenuItems() : nullptr);
    TInterfacePtr<TIMenuItemIntf> projectManager(
        topItems ? mainMenu->FindMenuItem(kProjectManagerItem) : nullptr);
    TInterfacePtr<TIMenuItemIntf> parent(projectManager ? projectManager->GetParent() : nullptr);
    if (parent) {
      FMenuItem = TInterfacePtr<TIMenuItemIntf>(parent->InsertItem(
          projectManager->GetIndex() + 1, LoadStr(SMenuCaption), kMenuItemName, "", 0, 0, 0,
          MenuFlag(mfEnabled) | MenuFlag(mfVisible),
          [this](TIMenuItemIntf* sender) { ui::Guarded([&] { MenuClick(sender); }); }));
    }
    // The holders release the parent, the found item, the top-level items and
    // the main menu, in that order.
  }
  FAddInNotifier = TInterfacePtr<TAddInNotifier>(new TAddInNotifier(this));
  ToolServices->AddNotifier(FAddInNotifier.Get());
}

TFormBrowserExpert::~TFormBrowserExpert() {
  // A notifier left on the project's module would call into a freed expert.
  ui::Guarded([this] { DetachProject(); });
  ui::Guarded([this] {
    if (FAddInNotifier && ToolServices) ToolServices->RemoveNotifier(FAddInNotifier.Get());
  });
  FMenuItem.Reset();
  FAddInNotifier.Reset();
  ui::FreeApplication();
}

std::string TFormBrowserExpert::GetName() {
  return LoadStr(SExpertName);
}

std::string TFormBrowserExpert::GetAuthor() {
  return "The Scrivlock developers <scrivlock@quillworks.dev>";
}

std::string TFormBrowserExpert::GetComment() {
  return {};
}

std::string TFormBrowserExpert::GetPage() {
  return {};
}

intptr_t TFormBrowserExpert::GetGlyph() {
  return 0;
}

TExpertStyle TFormBrowserExpert::GetStyle() {
  return esAddIn;
}

TExpertState TFormBrowserExpert::GetState() {
  return 0;
}

std::string TFormBrowserExpert::GetIDString() {
  return "Quillworks.Scrivlock";
}

std::string TFormBrowserExpert::GetMenuText() {
  return {};
}

void TFormBrowserExpert::Execute() {}

void TFormBrowserExpert::MenuClick(TIMenuItemIntf* /*sender*/) {
  ui::EnsureCommentsWindow();
  ui::RefreshUnitList();
  ui::Comments->SelectUnit(ToolServices->GetCurrentFile());
  ui::Comments->ShowWindow();
}

void TFormBrowserExpert::ProjectOpened(const std::string& fileName) {
  DetachProject();
  ToolServices->EnumProjectUnits(&EnumUnitProc, this);
  // EnumUnitProc only appends; one refill for the whole project rather than
  // one per unit keeps a large project from costing the square of its size.
  if (ui::Comments) ui::Comments->FillUnitCombo();
  TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
  if (!module) return;
  FProjectModule = std::move(module);
  FProjectNotifier = TInterfacePtr<TProjectNotifier>(new TProjectNotifier(this));
  FProjectModule->AddNotifier(FProjectNotifier.Get());
}

void TFormBrowserExpert::DetachProject() {
  if (!FProjectModule) return;
  // Taken out first, so that the expert is detached however this ends.
  const TInterfacePtr<TIModuleInterface> module = std::exchange(FProjectModule, {});
  const TInterfacePtr<TProjectNotifier> notifier = std::exchange(FProjectNotifier, {});
  if (notifier) module->RemoveNotifier(notifier.Get());
  if (ui::Comments) {
    ui::Comments->FUnitFiles.Clear();
    ui::Comments->FillUnitCombo();
  }
}

void TFormBrowserExpert::UnitAdded(const std::string& fileName) {
  if (!ui::Comments) return;
  ui::Comments->FUnitFiles.Add(fileName);
  ui::Comments->FillUnitCombo();
}

void TFormBrowserExpert::UnitRemoved(const std::string& fileName) {
  if (!ui::Comments) return;
  ui::Comments->FUnitFiles.Remove(fileName);
  ui::Comments->FillUnitCombo();
}

bool TFormBrowserExpert::EnumUnitProc(void* /*param*/, const std::string& fileName,
                                      const std::string& /*unitName*/,
                                      const std::string& /*formName*/) {
  try {
    if (ui::Comments && IsPascalUnit(fileName)) ui::Comments->FUnitFiles.Add(fileName);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace scrivlock::plugin
