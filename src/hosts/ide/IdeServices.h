// TIdeServices: the host interface (hostintf/ToolIntf.h) served by the Qt IDE
// host over its project, its editor tabs and its menu bar. The window
// (IdeWindow.h) owns it and does the widget work; this class holds the model:
// the project file, its units, the buffers and the plug-in's notifiers, and it
// fires the notifications an IDE fires.
//
// Buffers. Every known file has a TIdeBuffer. Its text is the file's bytes as
// they are (any encoding, the file's own line breaks), and the host interface
// reads and writes exactly those bytes. While a tab shows the file, the text
// lives in its editor (IdeEditor.h); otherwise the host interface reads the
// file from disk when it asks, and a writer that changes the text opens a tab
// for it, so that nothing unsaved is out of sight. Saving writes the bytes
// aside, flushes them and renames them over the file (QSaveFile).
//
// The project file. A unit that joins or leaves the project joins or leaves
// the project file's uses clause too (hosts/common/ProjectUses.h), in the
// project's buffer, which is saved with the rest.
//
// Re-Comment's commenting module (DeleteModuleFile) leaves the project at
// once, but its file stays on disk until the restored unit and the project
// file that no longer names it are both saved: until then the module's file is
// where the comments are on disk, so neither a discard nor a crash loses them.
// A restored unit whose tab is closed unsaved, or that is saved as it was
// before Re-Comment (the restoration undone), brings the module back into the
// project instead. The restored unit is the buffer a writer changed last.
//
// Everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostintf/ExptIntf.h"
#include "hostintf/ToolIntf.h"
#include "hosts/common/ExpertLoader.h"
#include "hosts/common/GuardedCall.h"

class QMenuBar;

namespace scrivlock::hosts::ide {

class TIdeEditor;

struct TIdeBuffer {
  std::string FileName;
  bool IsProject = false;
  TIdeEditor* Editor = nullptr;     // while a tab shows it
  std::optional<std::string> Disk;  // the file's bytes, read while no tab shows them
  // A new module "marked modified": modified until saved, whatever its editor says.
  bool MarkedModified = false;
  bool Highlighted = true;  // Pascal highlighting (SetSyntaxHighlighter)
  std::vector<hostintf::TIModuleNotifier*> Notifiers;
  bool Gone = false;     // dropped by the host; its module objects answer nothing
  bool Writing = false;  // a writer is alive (one at a time)

  bool Loaded() const { return Editor || Disk; }
  // The text; empty when not loaded. Valid until the text changes.
  std::string_view Bytes() const;
  bool Modified() const;
};
using TIdeBufferPtr = std::shared_ptr<TIdeBuffer>;

// What the services need from the window.
class TIdeSite {
 public:
  virtual ~TIdeSite() = default;
  virtual intptr_t MainWindowHandle() = 0;
  virtual QMenuBar* MenuBar() = 0;
  // Opens an editor tab for `buffer` holding `bytes`, unmodified; shows it
  // when `show`. A buffer with a tab only has it shown when `show`.
  virtual void OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) = 0;
  virtual void CloseEditor(const TIdeBufferPtr& buffer) = 0;
  // The buffer's modified state may have changed.
  virtual void BufferChanged(const TIdeBufferPtr& buffer) = 0;
  virtual void ProjectChanged() = 0;
  // The file of the active editor tab; empty when there is none.
  virtual std::string CurrentFile() = 0;
  virtual void ReportError(const std::string& message) = 0;
  // A short line for the status bar.
  virtual void ShowStatus(const std::string& message) = 0;
};

class TIdeServices : public hostintf::TIToolServices {
 public:
  explicit TIdeServices(TIdeSite& site);
  ~TIdeServices() override;

  // --- The project, as the window drives it --------------------------------
  const TIdeBufferPtr& Project() const { return FProject; }
  const std::vector<TIdeBufferPtr>& Units() const { return FUnits; }
  // Opens a project: `projectFile` with `projectText` and the units `units`
  // (full names; their files are read when they are needed). Closes the
  // former project first. The project file is shown in a tab, modified when it
  // is not on disk yet. Fires fnProjectOpening and fnProjectOpened.
  void OpenProject(const std::string& projectFile, const std::string& projectText,
                   const std::vector<std::string>& units);
  // Fires fnProjectClosing and ncModuleDeleted to the project's and each unit's
  // notifiers; drops every buffer and every deletion still waiting.
  void CloseProject();
  // Adds an existing file to the project and its uses clause
  // (fnAddedToProject). False when no project is open or it is listed already.
  bool AddToProject(const std::string& fileName);
  // Removes a unit from the project and its uses clause (fnRemovedFromProject,
  // then ncModuleDeleted to its notifiers) and closes its editor.
  bool RemoveFromProject(const std::string& fileName);
  // Writes the buffer to its file and fires ncAfterSave; false (with a report)
  // when writing fails. Then deletes the commenting modules that waited for it.
  bool Save(const TIdeBufferPtr& buffer);
  // Renames a buffer's file (as "save as"), saves it and fires ncModuleRenamed
  // to its notifiers and to the project's.
  bool SaveAs(const TIdeBufferPtr& buffer, const std::string& newName);
  // The buffer of `fileName` (letter case not told apart), or null.
  TIdeBufferPtr Find(const std::string& fileName) const;
  // The buffer of an open editor.
  TIdeBufferPtr FindByEditor(const TIdeEditor* editor) const;
  // Reads the buffer's file if no tab holds its text. False when it cannot.
  bool Load(const TIdeBufferPtr& buffer);
  // Opens the buffer in its tab (reading the file if need be); shows it when
  // `show`. False when there is no such file.
  bool Open(const TIdeBufferPtr& buffer, bool show);
  // Every buffer, the project's first.
  std::vector<TIdeBufferPtr> Buffers() const;

  // A commenting module's file that waits for its restored unit and the
  // project file to be saved before it is deleted.
  struct TPendingDeletion {
    std::string ModuleFile;
    std::weak_ptr<TIdeBuffer> Unit;  // expired or null: none to wait for
    std::string UnitFile;
    size_t FormerText = 0;  // hash of the unit's text before Re-Comment rewrote it
    bool UnitSaved = false;
    bool ProjectSaved = false;
  };
  const std::vector<TPendingDeletion>& PendingDeletions() const { return FPendingDeletions; }

  // --- Experts (hosts/common/ExpertLoader.h) ----------------------------------
  // Loads a plug-in and calls its entry point; false with `error` filled.
  bool LoadExpertLibrary(const std::string& path, std::string& error);
  // Runs the terminate routines, releases every expert, then unloads the
  // libraries.
  void UnloadExperts();
  int ExpertCount() const { return FExperts.ExpertCount(); }
  // Add-in notifiers registered now.
  int AddInNotifierCount() const { return static_cast<int>(FAddIns.size()); }

  // --- TIToolServices --------------------------------------------------------
  intptr_t GetParentHandle() override;
  int32_t GetUnitCount() override;
  std::string GetUnitName(int32_t index) override;
  bool EnumProjectUnits(hostintf::TProjectEnumProc proc, void* param) override;
  std::string GetProjectName() override;
  std::string GetCurrentFile() override;
  // Our IDE reads comments as the unit's mode (or a Lazarus project's) says,
  // and keeps the stripped unit's lines where they were.
  std::string GetProjectOption(const std::string& fileName, const std::string& name) override;
  hostintf::TIModuleInterface* GetModuleInterface(const std::string& fileName) override;
  bool GetNewModuleName(std::string& unitIdent, std::string& fileName) override;
  hostintf::TIModuleInterface* CreateModuleEx(const std::string& moduleName,
                                              const std::string& formName,
                                              const std::string& ancestorClass,
                                              const std::string& fileSystem,
                                              const TByteStream* source, const TByteStream* form,
                                              hostintf::TCreateModuleFlags createFlags) override;
  hostintf::TIMainMenuIntf* GetMainMenu() override;
  bool AddNotifier(hostintf::TIAddInNotifier* notifier) override;
  bool RemoveNotifier(hostintf::TIAddInNotifier* notifier) override;
  void RaiseException(const std::string& message) override;
  // Keeps the file until the restored unit (the buffer a writer changed last)
  // and the project file are saved; see the file comment.
  bool DeleteModuleFile(const std::string& fileName) override;

  void FileNotify(hostintf::TFileNotification code, const std::string& fileName);
  void EventNotify(hostintf::TEventNotification code);
  void ModuleNotify(const TIdeBufferPtr& buffer, hostintf::TNotifyCode code);

  // --- Used by the host's own objects -----------------------------------------
  // Makes `bytes` the buffer's text (one undo step), opening a tab for it.
  void Rewrite(const TIdeBufferPtr& buffer, std::string_view bytes);
  // Closes the buffer's tab, dropping what it holds unsaved, and asks
  // nothing (TIModuleInterface::Close, a tab closed). A restored unit dropped
  // so puts its commenting module back into the project. False when nothing
  // was open.
  bool CloseModule(const TIdeBufferPtr& buffer);

 protected:
  void Destroy() override {}  // the window owns the services

 private:
  TIdeBufferPtr AddBuffer(const std::string& fileName, bool isProject);
  // The project's uses clause with or without the unit; false when the
  // project file could not take the change.
  bool EditUses(const std::string& unitFile, bool add);
  void SettleDeletions(const TIdeBufferPtr& saved);
  // What a plug-in lets out of a call is shown as the host's error.
  void ReportEscape(const TEscape& escape);

  TIdeSite& FSite;
  TIdeBufferPtr FProject;
  std::vector<TIdeBufferPtr> FUnits;
  std::vector<TIdeBufferPtr> FOthers;  // open files outside the project
  std::vector<hostintf::TIAddInNotifier*> FAddIns;
  std::weak_ptr<TIdeBuffer> FLastRewritten;
  size_t FLastRewrittenFrom = 0;  // hash of its text before
  std::vector<TPendingDeletion> FPendingDeletions;
  TExpertLoader FExperts;  // last, so that it unloads before the rest goes
};

}  // namespace scrivlock::hosts::ide
