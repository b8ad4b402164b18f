#include "plugin/FormBrowserExpert.h"

#include <cctype>
#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

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
  return IsUnitFileName(fileName);
}

bool IsAbsolute(std::string_view name) {
  if (name.starts_with('/') || name.starts_with('\\')) return true;
  return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

// A relative name is taken from the current folder.
std::string MakeAbsolute(const std::string& name) {
  if (IsAbsolute(name)) return name;
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  if (error) return name;
  return (folder / name).string();
}

// What EnumUnitProc collects for ProjectOpened.
struct TProjectUnits {
  std::vector<std::string> Files;
  std::exception_ptr Failure;
};

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
  RefreshUnitList();
  ui::Comments->SelectUnit(ToolServices->GetCurrentFile());
  ui::Comments->ShowWindow();
}

void TFormBrowserExpert::RefreshUnitList() {
  if (!ui::Comments || !ToolServices) return;
  std::vector<std::string> files;
  const int32_t count = ToolServices->GetUnitCount();
  for (int32_t i = 0; i < count; ++i) {
    std::string name = ToolServices->GetUnitName(i);
    if (IsPascalUnit(name)) files.push_back(MakeAbsolute(name));
  }
  ui::Comments->SetUnits(files);
}

void TFormBrowserExpert::ProjectOpened(const std::string& fileName) {
  DetachProject();
  TProjectUnits units;
  ToolServices->EnumProjectUnits(&EnumUnitProc, &units);
  // One refill for the whole project rather than one per unit keeps a large
  // project from costing the square of its size.
  if (ui::Comments) ui::Comments->AddUnits(units.Files);
  TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
  if (module) {
    FProjectModule = std::move(module);
    FProjectNotifier = TInterfacePtr<TProjectNotifier>(new TProjectNotifier(this));
    FProjectModule->AddNotifier(FProjectNotifier.Get());
  }
  // The units found before it stay listed, and the project attached.
  if (units.Failure) std::rethrow_exception(units.Failure);
}

void TFormBrowserExpert::DetachProject() {
  if (!FProjectModule) return;
  // Taken out first, so that the expert is detached however this ends.
  const TInterfacePtr<TIModuleInterface> module = std::exchange(FProjectModule, {});
  const TInterfacePtr<TProjectNotifier> notifier = std::exchange(FProjectNotifier, {});
  if (notifier) module->RemoveNotifier(notifier.Get());
  if (ui::Comments) ui::Comments->SetUnits({});
}

void TFormBrowserExpert::UnitAdded(const std::string& fileName) {
  if (ui::Comments) ui::Comments->AddUnits({fileName});
}

void TFormBrowserExpert::UnitRemoved(const std::string& fileName) {
  if (ui::Comments) ui::Comments->RemoveUnit(fileName);
}

bool TFormBrowserExpert::EnumUnitProc(void* param, const std::string& fileName,
                                      const std::string& /*unitName*/,
                                      const std::string& /*formName*/) {
  auto& units = *static_cast<TProjectUnits*>(param);
  try {
    if (IsPascalUnit(fileName)) units.Files.push_back(fileName);
    return true;
  } catch (...) {
    // Called from the host's walk, which no exception may cross.
    units.Failure = std::current_exception();
    return false;
  }
}

}  // namespace scrivlock::plugin
