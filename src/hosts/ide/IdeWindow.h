// TIdeWindow: a small Qt IDE that hosts Scrivlock as a real shared library. A
// project (a .dpr or .lpr file, or a folder) lists its units in the project
// manager and opens them in editor tabs (IdeEditor.h); the View menu holds
// "ViewPrjMgrItem" (the project manager), after which the plug-in puts
// "Comments...". The host interface is served by TIdeServices.
//
// A plug-in's tool window (a Qt::Tool window the plug-in makes with the main
// window as its owner) is placed beside the editor the first time it shows,
// not over the code, and the status tips of its controls show in the status
// bar.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>

#include "hosts/ide/IdeServices.h"

class QDockWidget;
class QLabel;
class QListWidget;
class QTabWidget;

namespace scrivlock::hosts::ide {

class TFindBar;

class TIdeWindow : public QMainWindow, private TIdeSite {
  Q_OBJECT

 public:
  TIdeWindow();
  // Releases the plug-ins before any window goes.
  ~TIdeWindow() override;

  // Loads a plug-in and registers its expert; false after reporting why.
  bool LoadPlugin(const QString& path);
  // Opens a project: a .dpr or .lpr file (its units are the files its uses
  // clause names with "in", else the folder's .pas files), or a folder (its
  // .dpr or .lpr if it has one, else a new project of its .pas files). False
  // after reporting why.
  bool OpenProjectPath(const QString& path);
  // Not interactive (a check run from a script): errors are written to stderr
  // instead of shown in a box, and unsaved changes are dropped without a
  // question. Interactive is the default.
  void SetInteractive(bool interactive) { FInteractive = interactive; }
  // Errors reported so far (each also shown or written).
  int ErrorCount() const { return FErrorCount; }

  TIdeServices& Services() { return *FServices; }
  QTabWidget* Tabs() const { return FTabs; }
  // The editor of the current tab, or null.
  TIdeEditor* CurrentEditor() const;
  TFindBar* FindBar() const { return FFindBar; }
  // Saves every modified buffer, the project file last; false when one failed.
  bool SaveAll();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // TIdeSite.
  intptr_t MainWindowHandle() override;
  QMenuBar* MenuBar() override;
  void OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) override;
  void CloseEditor(const TIdeBufferPtr& buffer) override;
  void BufferChanged(const TIdeBufferPtr& buffer) override;
  void ProjectChanged() override;
  std::string CurrentFile() override;
  void ReportError(const std::string& message) override;
  void ShowStatus(const std::string& message) override;

  void BuildMenus();
  void BuildStatusBar();
  TIdeBufferPtr CurrentBuffer() const;
  void UpdateTabTitle(const TIdeBufferPtr& buffer);
  void UpdateStatus();
  // Asks about unsaved buffers; false when the user cancels.
  bool SettleUnsaved(const QString& question);
  // What saving or dropping the unsaved buffers would mean.
  QString UnsavedSummary() const;
  bool SaveBuffer(const TIdeBufferPtr& buffer);
  void PlaceToolWindow(QWidget* window);

  void OpenProjectDialog();
  void OpenFolderDialog();
  void NewUnit();
  void AddToProjectDialog();
  void RemoveCurrentFromProject();
  void SaveCurrent();
  void SaveCurrentAs();
  void CloseProjectNow();
  void CloseTab(int index);
  void GoToLineDialog();

  std::unique_ptr<TIdeServices> FServices;
  QTabWidget* FTabs = nullptr;
  TFindBar* FFindBar = nullptr;
  QDockWidget* FProjectDock = nullptr;
  QListWidget* FProjectList = nullptr;
  QLabel* FPosition = nullptr;
  QLabel* FEncoding = nullptr;
  QLabel* FLineBreaks = nullptr;
  bool FInteractive = true;
  int FErrorCount = 0;
};

}  // namespace scrivlock::hosts::ide
