// TIdeWindow: a small Qt IDE that hosts Scrivlock as a real shared library. A
// project (a .dpr file, or a folder) opens its units in editor tabs; the View
// menu holds "ViewPrjMgrItem" (the project manager), after which the plug-in
// puts "Comments...". The host interface is served by TIdeServices.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>

#include "hosts/ide/IdeServices.h"

class QDockWidget;
class QListWidget;
class QTabWidget;

namespace scrivlock::hosts::ide {

class TIdeWindow : public QMainWindow, private TIdeSite {
  Q_OBJECT

 public:
  TIdeWindow();
  // Releases the plug-ins before any window goes.
  ~TIdeWindow() override;

  // Loads a plug-in and registers its expert; false after reporting why.
  bool LoadPlugin(const QString& path);
  // Opens a project: a .dpr file (its units are the files its uses clause
  // names with "in", else the folder's .pas files), or a folder (its .dpr if it
  // has one, else a new project of its .pas files). False after reporting why.
  bool OpenProjectPath(const QString& path);

  TIdeServices& Services() { return *FServices; }
  QTabWidget* Tabs() const { return FTabs; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // TIdeSite.
  intptr_t MainWindowHandle() override;
  QMenuBar* MenuBar() override;
  void OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) override;
  void CloseEditor(const TIdeBufferPtr& buffer) override;
  void ProjectChanged() override;
  void ReportError(const std::string& message) override;

  void BuildMenus();
  TIdeBufferPtr CurrentBuffer() const;
  void UpdateTabTitle(const TIdeBufferPtr& buffer);
  // Asks about unsaved buffers; false when the user cancels.
  bool SettleUnsaved(const QString& question);
  bool SaveBuffer(const TIdeBufferPtr& buffer);
  bool SaveAll();

  void OpenProjectDialog();
  void OpenFolderDialog();
  void NewUnit();
  void AddToProjectDialog();
  void RemoveCurrentFromProject();
  void SaveCurrent();
  void SaveCurrentAs();
  void CloseProjectNow();
  void CloseTab(int index);

  std::unique_ptr<TIdeServices> FServices;
  QTabWidget* FTabs = nullptr;
  QDockWidget* FProjectDock = nullptr;
  QListWidget* FProjectList = nullptr;
};

}  // namespace scrivlock::hosts::ide
