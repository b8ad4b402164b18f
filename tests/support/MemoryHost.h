// TMemoryHost: an IDE host that lives in memory, for tests. It serves the host
// interface (hostintf/ToolIntf.h) over a project of units held in editor buffers,
// fires the add-in and module notifications a real IDE fires, has a main menu
// with a View menu holding "ViewPrjMgrItem", records RaiseException, counts the
// interface objects it has handed out, and can be told to fail.
//
// Driving it from a test:
//
//   TMemoryHost host;                       // no project yet
//   hostintf::TToolServicesScope scope(host.ToolServices());
//   host.OpenProject("/p/Project1.dpr");    // fires fnProjectOpened
//   host.AddUnit("/p/Unit1.pas", text);     // fires fnAddedToProject
//   host.InitExpert(entryPoint);            // or LoadExpertLibrary("libx.so")
//   host.ClickMenuItem("ViewScrivlockItem");
//   ...
//   host.UnloadExperts();
//   EXPECT_EQ(host.LiveInterfaces(), 0);    // nothing leaked
//   EXPECT_TRUE(host.ReferenceFaults().empty());  // nothing released twice
//
// Files. Each unit is named by a full file name. Its buffer is open in the
// editor from the moment it is added, created or opened; the real file system
// is touched only by Save (writes the buffer to its file) and by reopening a
// closed buffer (reads the file; a missing file means no module). So tests that
// never close a buffer need no real folder; tests that do use a temporary one.
//
// Reference faults. A host object whose count reaches 0 is not freed but kept
// until the host is destroyed; any later AddRef, Release or call on it is
// recorded in ReferenceFaults(). (SetKeepReleased(false) frees them at once,
// for benchmarks.)
//
// Not thread-safe: like an IDE, everything runs on one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hostintf/ExptIntf.h"
#include "hostintf/ToolIntf.h"

namespace scrivlock::hosts {

class TMemoryHost {
 public:
  // Ways to make the host fail, so every failure path of the commands can be
  // reached. File names are compared without regard to letter case.
  struct TFaults {
    std::set<std::string> MissingModules;  // GetModuleInterface answers nullptr
    std::set<std::string> FailingReaders;  // the reader's GetText throws
    std::set<std::string> NoReaders;       // CreateReader answers nullptr
    std::set<std::string> FailingWriters;  // CreateWriter answers nullptr
    bool FailCreateModule = false;         // CreateModuleEx answers nullptr
    std::string CreatedModuleName;         // if set, CreateModuleEx uses this file name
    // A reader's TextLength answers this (a wrong hint) instead of the length.
    std::map<std::string, int64_t> TextLengths;
    // A host that does not keep what it is given: changes a writer's result
    // (the buffer of `fileName`) before it becomes the buffer's text.
    std::function<void(const std::string& fileName, std::string& text)> AlterWrittenText;
  };

  struct TMenuItemInfo {
    std::string Name, Caption, Hint, Parent;
    int32_t Index = -1;
    hostintf::TIMenuFlags Flags = 0;
  };

  TMemoryHost();
  // Unloads the experts, then frees everything.
  ~TMemoryHost();
  TMemoryHost(const TMemoryHost&) = delete;
  TMemoryHost& operator=(const TMemoryHost&) = delete;

  // The tool-services object to hand to the plug-in (owned by the host; do not
  // Release it). Set hostintf::ToolServices to it to run the commands in-process.
  hostintf::TIToolServices* ToolServices();

  // --- Project -------------------------------------------------------------
  // Closes the open project (if any) and opens `projectFile` with `text` as its
  // buffer and no units; fires fnProjectOpening, then fnProjectOpened.
  void OpenProject(const std::string& projectFile,
                   std::string text = "program Project1;\r\n\r\nbegin\r\nend.\r\n");
  // Fires fnProjectClosing, then ncModuleDeleted to the notifiers of the
  // project module and of each unit; the project's buffers go. No-op if none.
  void CloseProject();
  bool ProjectOpen() const;
  std::string ProjectFile() const;
  // The project's units (without the project file), in project order.
  std::vector<std::string> UnitFiles() const;

  // Adds a unit to the open project, open in the editor with `text`, and fires
  // fnAddedToProject. False when no project is open or it is listed already.
  bool AddUnit(const std::string& fileName, std::string text);
  // Removes a unit from the project: fires fnRemovedFromProject and then
  // ncModuleDeleted to the unit's module notifiers; its buffer goes.
  bool RemoveUnit(const std::string& fileName);
  // Renames a unit (as "save as" would): fires ncModuleRenamed to the unit's
  // notifiers and to the project module's.
  bool RenameUnit(const std::string& oldName, const std::string& newName);
  // Opens a file that is not part of the project in the editor.
  bool OpenFile(const std::string& fileName, std::string text);

  // --- Buffers ---------------------------------------------------------------
  bool HasBuffer(const std::string& fileName) const;  // known and open in the editor
  std::optional<std::string> Text(const std::string& fileName) const;
  void SetText(const std::string& fileName, std::string text);  // marks it modified
  bool Modified(const std::string& fileName) const;
  bool Closed(const std::string& fileName) const;  // known but its editor closed
  hostintf::TSyntaxHighlighter Highlighter(const std::string& fileName) const;
  // Readers created on the buffer so far.
  int ReaderCount(const std::string& fileName) const;
  // Writes the buffer to its file, clears Modified, fires ncAfterSave to its
  // module notifiers. False when the write fails.
  bool Save(const std::string& fileName);
  // Saves every modified buffer, then the project file.
  bool SaveAll();

  // --- Notifications ----------------------------------------------------------
  void FireFileNotification(hostintf::TFileNotification code, const std::string& fileName);
  void FireModuleNotification(const std::string& fileName, hostintf::TNotifyCode code);
  int AddInNotifierCount() const;
  int ModuleNotifierCount(const std::string& fileName) const;

  // --- Menu -------------------------------------------------------------------
  // Runs the click handler of the item of that name; false when there is no
  // such item or it has no handler.
  bool ClickMenuItem(const std::string& name);
  std::optional<TMenuItemInfo> FindMenuItem(const std::string& name) const;
  // Names of the sub-items of `parentName` ("" for the menu bar), in order.
  std::vector<std::string> MenuItemNames(const std::string& parentName) const;
  // Whether GetMainMenu answers nullptr; and whether "ViewPrjMgrItem" exists.
  void SetHasMainMenu(bool has);
  void RemoveProjectManagerItem();

  // --- Experts ----------------------------------------------------------------
  // Calls an expert's entry point with this host's services and a registration
  // routine that keeps the expert; returns the entry point's result.
  bool InitExpert(hostintf::TExpertInitProc initProc);
  // Loads a shared library, looks up its entry point and calls InitExpert.
  // False (and `error` filled) when loading or lookup fails.
  bool LoadExpertLibrary(const std::string& path, std::string* error = nullptr);
  // Calls the terminate routines, releases every registered expert and unloads
  // the libraries, newest first (hosts/common/ExpertLoader.h).
  void UnloadExperts();
  int ExpertCount() const;
  hostintf::TIExpert* Expert(int index) const;  // borrowed

  // --- Observation ------------------------------------------------------------
  const std::vector<std::string>& RaisedExceptions() const;
  // Host interface objects handed out and not yet released to 0 (the services
  // object itself not counted).
  int LiveInterfaces() const;
  // Exceptions that a plug-in let out of a call into it (a notifier, a menu
  // click handler, its entry point, its terminate routine, its expert's
  // Release; a plug-in must let none out), as "call: message"
  // (hosts/common/GuardedCall.h names the calls).
  const std::vector<std::string>& UnhandledExceptions() const;
  // Misuses seen: AddRef, Release or a call on an object after its last Release.
  const std::vector<std::string>& ReferenceFaults() const;
  void SetKeepReleased(bool keep);
  void SetParentHandle(intptr_t handle);
  // What GetProjectOption answers for `name`, for every unit; "" unsets it.
  void SetProjectOption(const std::string& name, std::string value);

  TFaults& Faults();

  struct TState;

 private:
  std::unique_ptr<TState> FState;
};

}  // namespace scrivlock::hosts
