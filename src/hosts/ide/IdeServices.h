// TIdeServices: the host interface (hostintf/ToolIntf.h) served by the Qt IDE
// host over its project, its editor tabs and its menu bar. The window
// (IdeWindow.h) owns it and does the widget work; this class holds the model:
// the project file, its units, the buffers and the plug-in's notifiers, and it
// fires the notifications an IDE fires.
//
// Buffers. Every known file has a TIdeBuffer. Its text lives in the editor's
// document while the file is open in a tab; the host interface sees it as
// 8-bit bytes (UTF-8) with CR LF line breaks, whatever the file on disk uses.
// A closed buffer has no text: asking for its module opens it from disk again.
//
// Everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostintf/ExptIntf.h"
#include "hostintf/ToolIntf.h"
#include "hosts/common/ExpertLoader.h"
#include "hosts/common/GuardedCall.h"

class QMenuBar;
class QPlainTextEdit;
class QString;

namespace scrivlock::hosts::ide {

// The editor's text for buffer bytes: CR LF becomes a line break, the bytes
// are taken as UTF-8.
QString EditorText(std::string_view bytes);

struct TIdeBuffer {
  std::string FileName;
  QPlainTextEdit* Editor = nullptr;  // null while closed
  bool IsProject = false;
  bool CrLf = true;  // how the file on disk breaks its lines
  std::vector<hostintf::TIModuleNotifier*> Notifiers;
  bool Gone = false;     // dropped by the host; its module objects answer nothing
  bool Writing = false;  // a writer is alive (one at a time)

  // The text as the host interface sees it; empty when closed.
  std::string Bytes() const;
  // Replaces the whole text (one undo step) and marks it modified.
  void SetBytes(std::string_view bytes);
};
using TIdeBufferPtr = std::shared_ptr<TIdeBuffer>;

// What the services need from the window.
class TIdeSite {
 public:
  virtual ~TIdeSite() = default;
  virtual intptr_t MainWindowHandle() = 0;
  virtual QMenuBar* MenuBar() = 0;
  // Opens (or re-opens from disk) an editor tab for `buffer` with `bytes`;
  // shows it when `show`.
  virtual void OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) = 0;
  virtual void CloseEditor(const TIdeBufferPtr& buffer) = 0;
  virtual void ProjectChanged() = 0;
  virtual void ReportError(const std::string& message) = 0;
};

class TIdeServices : public hostintf::TIToolServices {
 public:
  explicit TIdeServices(TIdeSite& site);
  ~TIdeServices() override;

  // --- The project, as the window drives it --------------------------------
  const TIdeBufferPtr& Project() const { return FProject; }
  const std::vector<TIdeBufferPtr>& Units() const { return FUnits; }
  // Opens a project: `projectFile` with `projectText` and the units `units`
  // (full names; their files are read as they are opened). Closes the former
  // project first. Fires fnProjectOpening and fnProjectOpened.
  void OpenProject(const std::string& projectFile, const std::string& projectText,
                   const std::vector<std::string>& units);
  // Fires fnProjectClosing and ncModuleDeleted to the project's and each unit's
  // notifiers; drops every buffer.
  void CloseProject();
  // Adds an existing file to the project (fnAddedToProject). False when no
  // project is open or it is listed already.
  bool AddToProject(const std::string& fileName);
  // Removes a unit (fnRemovedFromProject, then ncModuleDeleted to its
  // notifiers) and closes its editor.
  bool RemoveFromProject(const std::string& fileName);
  // Writes the buffer to its file and fires ncAfterSave; false (with a report)
  // when writing fails.
  bool Save(const TIdeBufferPtr& buffer);
  // Renames a buffer's file (as "save as"), saves it and fires ncModuleRenamed
  // to its notifiers and to the project's.
  bool SaveAs(const TIdeBufferPtr& buffer, const std::string& newName);
  // The buffer of `fileName` (letter case not told apart), or null.
  TIdeBufferPtr Find(const std::string& fileName) const;
  // The buffer of an open editor.
  TIdeBufferPtr FindByEditor(const QPlainTextEdit* editor) const;
  // Opens the buffer of `fileName` in its tab, reading the file if need be.
  // False when there is no such file.
  bool Open(const TIdeBufferPtr& buffer, bool show);

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

  void FileNotify(hostintf::TFileNotification code, const std::string& fileName);
  void ModuleNotify(const TIdeBufferPtr& buffer, hostintf::TNotifyCode code);

 protected:
  void Destroy() override {}  // the window owns the services

 private:
  TIdeBufferPtr AddBuffer(const std::string& fileName, bool isProject);
  void AddUsesEntry(const std::string& unitFile);
  // What a plug-in lets out of a call is shown as the host's error.
  void ReportEscape(const TEscape& escape);

  TIdeSite& FSite;
  TIdeBufferPtr FProject;
  std::vector<TIdeBufferPtr> FUnits;
  std::vector<TIdeBufferPtr> FOthers;  // open files outside the project
  std::vector<hostintf::TIAddInNotifier*> FAddIns;
  TExpertLoader FExperts;  // last, so that it unloads before the rest goes
};

}  // namespace scrivlock::hosts::ide
