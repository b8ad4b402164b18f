// The host's tool services (TIToolServices) with its menus (TIMainMenuIntf,
// TIMenuItemIntf) and the add-in notifier (TIAddInNotifier): the one facade
// through which the plug-in reaches the host. The host hands its object to the
// plug-in's entry point; the plug-in keeps it in the global ToolServices
// (ToolServices.h).
//
// Every pointer returned is a new reference (see VirtIntf.h); nullptr means
// "none". The tool-services object itself is the host's: never Release it.
// Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "hostintf/EditIntf.h"
#include "hostintf/VirtIntf.h"

namespace scrivlock {
class TByteStream;
}

namespace scrivlock::hostintf {

// Codes of TIAddInNotifier::FileNotification.
enum TFileNotification : int32_t {
  fnFileOpening = 0,
  fnFileOpened = 1,
  fnFileClosing = 2,
  fnProjectOpening = 3,
  fnProjectOpened = 4,  // FileName is the project file
  fnProjectClosing = 5,
  fnAddedToProject = 6,      // FileName is the unit added
  fnRemovedFromProject = 7,  // FileName is the unit removed
};

// Codes of TIAddInNotifier::EventNotification.
enum TEventNotification : int32_t {
  enBeforeCompile = 0,
  enAfterCompile = 1,
  enCurrentFileChanged = 2,  // the active editor shows another file (GetCurrentFile)
};

// Bits of CreateModuleEx's flags: a flag's value is 1 << its bit.
enum TCreateModuleFlag : int32_t {
  cmAddToProject = 0,  // add the new module to the open project
  cmShowSource = 1,    // open it in the editor
  cmShowForm = 2,
  cmUnNamed = 3,  // give it the next proposed name (GetNewModuleName)
  cmNewUnit = 4,  // fill it with the host's empty-unit text
  cmNewForm = 5,
  cmMainForm = 6,
  cmMarkModified = 7,  // mark its buffer modified (unsaved)
};
using TCreateModuleFlags = uint32_t;
constexpr TCreateModuleFlags CreateFlag(TCreateModuleFlag flag) {
  return 1u << flag;
}

// Bits of InsertItem's flags.
enum TIMenuFlag : int32_t {
  mfInvalid = 0,
  mfEnabled = 1,
  mfVisible = 2,
  mfChecked = 3,
  mfBreak = 4,
  mfBarBreak = 5,
  mfRadioItem = 6,
};
using TIMenuFlags = uint32_t;
constexpr TIMenuFlags MenuFlag(TIMenuFlag flag) {
  return 1u << flag;
}

class TIMenuItemIntf;
// Runs on each click of a menu item; `sender` is borrowed.
using TIMenuClickEvent = std::function<void(TIMenuItemIntf* sender)>;

class TIMenuItemIntf : public TInterface {
 public:
  // Sub-items of this item (of the menu bar for GetMenuItems).
  virtual int32_t GetItemCount() = 0;
  virtual TIMenuItemIntf* GetItem(int32_t index) = 0;
  virtual std::string GetName() = 0;
  virtual std::string GetCaption() = 0;
  virtual TIMenuFlags GetFlags() = 0;
  // Position among the parent's items; -1 when it has no parent.
  virtual int32_t GetIndex() = 0;
  virtual TIMenuItemIntf* GetParent() = 0;
  // Inserts a new item into this item's submenu at `index` (clamped to the
  // item count) and returns it. The item belongs to the plug-in: it stays in
  // the menu while the plug-in holds a reference to it, and leaves the menu
  // when the last reference is released. `eventHandler` runs on each click.
  virtual TIMenuItemIntf* InsertItem(int32_t index, const std::string& caption,
                                     const std::string& name, const std::string& hint,
                                     int32_t shortCut, int32_t context, int32_t groupIndex,
                                     TIMenuFlags flags, TIMenuClickEvent eventHandler) = 0;
};

class TIMainMenuIntf : public TInterface {
 public:
  // The menu bar: its sub-items are the top-level menus (File, Edit, View...).
  virtual TIMenuItemIntf* GetMenuItems() = 0;
  // The item of that name anywhere in the menu, or nullptr.
  virtual TIMenuItemIntf* FindMenuItem(const std::string& name) = 0;
};

// Implemented by the plug-in, registered with TIToolServices::AddNotifier to
// hear about files and projects. The host only borrows the notifier: the
// plug-in removes it before it releases its last reference.
class TIAddInNotifier : public TInterface {
 public:
  // `cancel` may be set to veto an event that can be vetoed; it starts false.
  virtual void FileNotification(TFileNotification notifyCode, const std::string& fileName,
                                bool& cancel) = 0;
  virtual void EventNotification(TEventNotification notifyCode, bool& cancel) = 0;
};

// Called for each unit by EnumProjectUnits; returning false stops the walk.
using TProjectEnumProc = bool (*)(void* param, const std::string& fileName,
                                  const std::string& unitName, const std::string& formName);

class TIToolServices : public TInterface {
 public:
  // The host's main window (a native handle; 0 when there is none).
  virtual intptr_t GetParentHandle() = 0;

  // The open project's files: the project file itself and its units, as full
  // file names. 0 and "" when no project is open or the index is out of range.
  virtual int32_t GetUnitCount() = 0;
  virtual std::string GetUnitName(int32_t index) = 0;
  // Calls `proc` per unit (not for the project file) until it returns false.
  // True when every unit was visited.
  virtual bool EnumProjectUnits(TProjectEnumProc proc, void* param) = 0;
  virtual std::string GetProjectName() = 0;
  // The file of the active editor; empty when there is none (the default).
  virtual std::string GetCurrentFile();

  // The module of `fileName` (compared without regard to letter case), opening
  // it in the editor if it is a project file not yet open; nullptr when the
  // host has no such file.
  virtual TIModuleInterface* GetModuleInterface(const std::string& fileName) = 0;
  // Fills in the identifier and full file name that the next new unit would
  // get. False when there is no project to add a unit to.
  virtual bool GetNewModuleName(std::string& unitIdent, std::string& fileName) = 0;
  // Creates a module as the flags say (see TCreateModuleFlag); with cmUnNamed
  // and an empty `moduleName` it takes the name GetNewModuleName proposes.
  // `source` (may be null) is the initial text, else cmNewUnit's empty unit;
  // `form` is ignored by hosts without forms. nullptr when it fails.
  virtual TIModuleInterface* CreateModuleEx(const std::string& moduleName,
                                            const std::string& formName,
                                            const std::string& ancestorClass,
                                            const std::string& fileSystem,
                                            const TByteStream* source, const TByteStream* form,
                                            TCreateModuleFlags createFlags) = 0;

  // nullptr when the host has no main menu.
  virtual TIMainMenuIntf* GetMainMenu() = 0;

  // Borrowed; see TIAddInNotifier. False when already added / not there.
  virtual bool AddNotifier(TIAddInNotifier* notifier) = 0;
  virtual bool RemoveNotifier(TIAddInNotifier* notifier) = 0;

  // Shows `message` to the user as the host's own error report.
  virtual void RaiseException(const std::string& message) = 0;

  // Deletes the file of a module the plug-in is done with: Re-Comment's
  // commenting module, whose comments the restored unit's buffer now holds. A
  // host that holds that buffer unsaved may keep the file until the buffer is
  // on disk, so that neither a discard nor a crash loses the comments, and may
  // take the module out of its project meanwhile. The default deletes the file
  // at once. True when the file is gone or will go.
  virtual bool DeleteModuleFile(const std::string& fileName);

  // A setting of the project that holds the unit `fileName`, by one of the
  // names below; empty when the host keeps none (the default), which leaves
  // the plug-in's own default.
  virtual std::string GetProjectOption(const std::string& fileName, const std::string& name);
};

// GetProjectOption's names and values.
// How Uncomment reads comments: "delphi" (they do not nest; the default),
// "fpc" (they nest), or "auto" (the unit's {$mode}, else kOptionProjectMode's
// mode, else fpc).
inline constexpr const char* kOptionDialect = "Dialect";
// The Free Pascal mode the project compiles its units in ("objfpc", "delphi"...).
inline constexpr const char* kOptionProjectMode = "ProjectMode";
// "on": line comments leave their line breaks in the unit; "off" (the default).
inline constexpr const char* kOptionKeepLines = "KeepLines";

}  // namespace scrivlock::hostintf
