#include "hosts/ide/IdeServices.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <utility>

#include "base/ByteStream.h"
#include "base/FileNames.h"
#include "hosts/common/LazarusProject.h"
#include "hosts/common/NewModule.h"
#include "hosts/common/NotifierList.h"
#include "hosts/common/ProjectUses.h"
#include "hosts/common/UnitNames.h"
#include "hosts/common/WriterCursor.h"
#include "hosts/ide/IdeEditor.h"

namespace scrivlock::hosts::ide {

using namespace hostintf;

namespace {

QString QtName(const std::string& fileName) {
  return QFile::decodeName(QByteArray::fromStdString(fileName));
}

bool ReadFile(const std::string& fileName, std::string& bytes) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Flushes a folder's entries: the renames made in it reach the disk before
// what comes next.
void SyncFolder(const std::string& folder) {
  const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

std::string NameOf(const std::string& fileName) {
  return std::string(ExtractFileName(fileName));
}

// Reads what the buffer holds when asked, so it follows the buffer's text.
class TReader : public TIEditReader {
 public:
  explicit TReader(TIdeBufferPtr buffer) : FBuffer(std::move(buffer)) {}
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (FBuffer->Gone) return 0;
    const std::string_view text = FBuffer->Bytes();
    if (position < 0 || count <= 0 || static_cast<size_t>(position) >= text.size()) return 0;
    const size_t n =
        std::min(static_cast<size_t>(count), text.size() - static_cast<size_t>(position));
    std::copy_n(text.data() + position, n, buffer);
    return static_cast<int32_t>(n);
  }
  int64_t TextLength() override {
    return FBuffer->Gone ? -1 : static_cast<int64_t>(FBuffer->Bytes().size());
  }

 private:
  TIdeBufferPtr FBuffer;
};

// Works on the text the buffer held at its creation; the result becomes the
// buffer's text when the writer is released (see EditIntf.h).
class TWriter : public TIEditWriter {
 public:
  TWriter(TIdeServices& services, TIdeBufferPtr buffer)
      : FServices(services),
        FBuffer(std::move(buffer)),
        FText(std::string(FBuffer->Bytes())),
        FCursor(FText.Original().size(), FText) {
    FBuffer->Writing = true;
  }
  bool Insert(const char* text) override { return Usable() && FCursor.Insert(text); }
  bool CopyTo(int32_t position) override { return Usable() && FCursor.CopyTo(position); }
  bool DeleteTo(int32_t position) override { return Usable() && FCursor.DeleteTo(position); }
  int32_t CurrentPos() override { return FCursor.CurrentPos(); }

 protected:
  void Destroy() override {
    FBuffer->Writing = false;
    if (Usable() && FCursor.Finish() && FText.Result() != FText.Original())
      FServices.Rewrite(FBuffer, FText.Result());
    delete this;
  }

 private:
  bool Usable() const { return !FBuffer->Gone && FBuffer->Loaded(); }

  TIdeServices& FServices;
  TIdeBufferPtr FBuffer;
  TStringWriterSink FText;
  TWriterCursor FCursor;
};

class TEditor : public TIEditorInterface {
 public:
  TEditor(TIdeServices& services, TIdeBufferPtr buffer)
      : FServices(services), FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override { return Usable() ? new TReader(FBuffer) : nullptr; }
  TIEditWriter* CreateWriter() override {
    return Usable() && !FBuffer->Writing ? new TWriter(FServices, FBuffer) : nullptr;
  }
  std::string FileName() override { return FBuffer->FileName; }
  bool BufferModified() override { return !FBuffer->Gone && FBuffer->Modified(); }
  TSyntaxHighlighter SetSyntaxHighlighter(TSyntaxHighlighter highlighter) override {
    const TSyntaxHighlighter former = FBuffer->Highlighted ? shPascal : shNone;
    FBuffer->Highlighted = highlighter != shNone;
    if (FBuffer->Editor) FBuffer->Editor->SetHighlighting(FBuffer->Highlighted);
    return former;
  }

 private:
  bool Usable() const { return !FBuffer->Gone && (FBuffer->Loaded() || FServices.Load(FBuffer)); }
  TIdeServices& FServices;
  TIdeBufferPtr FBuffer;
};

class TModule : public TIModuleInterface {
 public:
  TModule(TIdeServices& services, TIdeBufferPtr buffer)
      : FServices(services), FBuffer(std::move(buffer)) {}
  TIEditorInterface* GetEditorInterface() override {
    return !FBuffer->Gone && FServices.Load(FBuffer) ? new TEditor(FServices, FBuffer) : nullptr;
  }
  bool Close() override { return FServices.CloseModule(FBuffer); }
  bool Save(bool /*forceSave*/) override { return !FBuffer->Gone && FServices.Save(FBuffer); }
  bool IsProjectModule() override { return FBuffer->IsProject; }
  bool AddNotifier(TIModuleNotifier* notifier) override {
    return !FBuffer->Gone && AddNotifierTo(FBuffer->Notifiers, notifier);
  }
  bool RemoveNotifier(TIModuleNotifier* notifier) override {
    return RemoveNotifierFrom(FBuffer->Notifiers, notifier);
  }

 private:
  TIdeServices& FServices;
  TIdeBufferPtr FBuffer;
};

// A menu item over a QAction of the menu bar (null: the bar itself). An item
// the plug-in inserted owns its action: the action leaves the menu when the
// plug-in releases the item.
class TMenuItem : public TIMenuItemIntf {
 public:
  TMenuItem(QMenuBar* bar, QAction* action, bool owning)
      : FBar(bar), FAction(action), FOwning(owning) {}
  ~TMenuItem() override {
    if (FOwning) delete FAction.data();
  }

  int32_t GetItemCount() override { return static_cast<int32_t>(Children().size()); }
  TIMenuItemIntf* GetItem(int32_t index) override {
    const QList<QAction*> children = Children();
    if (index < 0 || index >= children.size()) return nullptr;
    return new TMenuItem(FBar, children[index], false);
  }
  std::string GetName() override { return FAction ? FAction->objectName().toStdString() : ""; }
  std::string GetCaption() override { return FAction ? FAction->text().toStdString() : ""; }
  TIMenuFlags GetFlags() override {
    if (!FAction) return MenuFlag(mfEnabled) | MenuFlag(mfVisible);
    TIMenuFlags flags = 0;
    if (FAction->isEnabled()) flags |= MenuFlag(mfEnabled);
    if (FAction->isVisible()) flags |= MenuFlag(mfVisible);
    if (FAction->isChecked()) flags |= MenuFlag(mfChecked);
    return flags;
  }
  int32_t GetIndex() override {
    QWidget* parent = ParentWidget();
    return parent ? static_cast<int32_t>(parent->actions().indexOf(FAction.data())) : -1;
  }
  TIMenuItemIntf* GetParent() override {
    QWidget* parent = ParentWidget();
    if (!parent) return nullptr;
    if (parent == FBar) return new TMenuItem(FBar, nullptr, false);
    return new TMenuItem(FBar, static_cast<QMenu*>(parent)->menuAction(), false);
  }
  TIMenuItemIntf* InsertItem(int32_t index, const std::string& caption, const std::string& name,
                             const std::string& hint, int32_t /*shortCut*/, int32_t /*context*/,
                             int32_t /*groupIndex*/, TIMenuFlags flags,
                             TIMenuClickEvent eventHandler) override {
    QWidget* menu = FAction ? FAction->menu() : static_cast<QWidget*>(FBar.data());
    if (!menu) return nullptr;
    const QList<QAction*> siblings = menu->actions();
    QAction* before = index >= 0 && index < siblings.size() ? siblings[index] : nullptr;
    auto* action = new QAction(QString::fromStdString(caption), menu);
    action->setObjectName(QString::fromStdString(name));
    action->setStatusTip(QString::fromStdString(hint));
    action->setEnabled(flags & MenuFlag(mfEnabled));
    action->setVisible(flags & MenuFlag(mfVisible));
    menu->insertAction(before, action);
    QMenuBar* bar = FBar;
    QObject::connect(action, &QAction::triggered, action, [bar, action, eventHandler] {
      if (!eventHandler) return;
      auto* sender = new TMenuItem(bar, action, false);
      eventHandler(sender);
      sender->Release();
    });
    return new TMenuItem(FBar, action, true);
  }

  // The action of that name anywhere under `menu`.
  static QAction* Find(QWidget* menu, const QString& name) {
    for (QAction* action : menu->actions()) {
      if (action->objectName() == name) return action;
      if (action->menu())
        if (QAction* found = Find(action->menu(), name)) return found;
    }
    return nullptr;
  }

 private:
  QList<QAction*> Children() const {
    if (!FAction) return FBar ? FBar->actions() : QList<QAction*>{};
    return FAction->menu() ? FAction->menu()->actions() : QList<QAction*>{};
  }
  QWidget* ParentWidget() const {
    if (!FAction || !FBar) return nullptr;
    if (FBar->actions().contains(FAction.data())) return FBar;
    return FindParent(FBar, FAction.data());
  }
  static QWidget* FindParent(QWidget* menu, QAction* target) {
    for (QAction* action : menu->actions()) {
      if (!action->menu()) continue;
      if (action->menu()->actions().contains(target)) return action->menu();
      if (QWidget* found = FindParent(action->menu(), target)) return found;
    }
    return nullptr;
  }

  QPointer<QMenuBar> FBar;
  QPointer<QAction> FAction;
  bool FOwning;
};

class TMainMenu : public TIMainMenuIntf {
 public:
  explicit TMainMenu(QMenuBar* bar) : FBar(bar) {}
  TIMenuItemIntf* GetMenuItems() override {
    return FBar ? new TMenuItem(FBar, nullptr, false) : nullptr;
  }
  TIMenuItemIntf* FindMenuItem(const std::string& name) override {
    if (!FBar) return nullptr;
    QAction* action = TMenuItem::Find(FBar, QString::fromStdString(name));
    return action ? new TMenuItem(FBar, action, false) : nullptr;
  }

 private:
  QPointer<QMenuBar> FBar;
};

}  // namespace

std::string_view TIdeBuffer::Bytes() const {
  if (Editor) return Editor->Bytes();
  return Disk ? std::string_view(*Disk) : std::string_view();
}

bool TIdeBuffer::Modified() const {
  return MarkedModified || (Editor && Editor->isModified());
}

TIdeServices::TIdeServices(TIdeSite& site)
    : FSite(site), FExperts(*this, [this](const TEscape& escape) { ReportEscape(escape); }) {}

TIdeServices::~TIdeServices() {
  UnloadExperts();
}

TIdeBufferPtr TIdeServices::Find(const std::string& fileName) const {
  if (FProject && SameText(FProject->FileName, fileName)) return FProject;
  for (const auto* list : {&FUnits, &FOthers})
    for (const TIdeBufferPtr& buffer : *list)
      if (SameText(buffer->FileName, fileName)) return buffer;
  return nullptr;
}

TIdeBufferPtr TIdeServices::FindByEditor(const TIdeEditor* editor) const {
  if (!editor) return nullptr;
  for (const TIdeBufferPtr& buffer : Buffers())
    if (buffer->Editor == editor) return buffer;
  return nullptr;
}

std::vector<TIdeBufferPtr> TIdeServices::Buffers() const {
  std::vector<TIdeBufferPtr> buffers;
  buffers.reserve(FUnits.size() + FOthers.size() + 1);
  if (FProject) buffers.push_back(FProject);
  buffers.insert(buffers.end(), FUnits.begin(), FUnits.end());
  buffers.insert(buffers.end(), FOthers.begin(), FOthers.end());
  return buffers;
}

TIdeBufferPtr TIdeServices::AddBuffer(const std::string& fileName, bool isProject) {
  auto buffer = std::make_shared<TIdeBuffer>();
  buffer->FileName = fileName;
  buffer->IsProject = isProject;
  return buffer;
}

bool TIdeServices::Load(const TIdeBufferPtr& buffer) {
  if (!buffer || buffer->Gone) return false;
  if (buffer->Loaded()) return true;
  std::string bytes;
  if (!ReadFile(buffer->FileName, bytes)) return false;
  buffer->Disk = std::move(bytes);
  return true;
}

bool TIdeServices::Open(const TIdeBufferPtr& buffer, bool show) {
  if (!buffer || buffer->Gone) return false;
  if (!buffer->Editor) {
    if (!Load(buffer)) return false;
    const std::string bytes = std::move(*buffer->Disk);
    buffer->Disk.reset();
    FSite.OpenEditor(buffer, bytes, show);
    return buffer->Editor != nullptr;
  }
  if (show) FSite.OpenEditor(buffer, {}, true);
  return true;
}

void TIdeServices::Rewrite(const TIdeBufferPtr& buffer, std::string_view bytes) {
  // A text changed out of the user's sight gets a tab, so that it is seen
  // and saved.
  if (!buffer->Editor && !Open(buffer, false)) return;
  FLastRewrittenFrom = std::hash<std::string_view>()(buffer->Bytes());
  buffer->Editor->Replace(bytes);
  FLastRewritten = buffer;
  FSite.BufferChanged(buffer);
}

bool TIdeServices::CloseModule(const TIdeBufferPtr& buffer) {
  if (!buffer || buffer->Gone) return false;
  const bool loaded = buffer->Loaded();
  if (buffer->Editor) FSite.CloseEditor(buffer);
  buffer->Disk.reset();
  buffer->MarkedModified = false;
  // A restored unit that goes unsaved leaves its comments in its commenting
  // module only: the module comes back into the project.
  std::vector<std::string> back;
  std::erase_if(FPendingDeletions, [&](const TPendingDeletion& pending) {
    if (pending.UnitSaved || pending.Unit.lock() != buffer) return false;
    back.push_back(pending.ModuleFile);
    return true;
  });
  for (const std::string& module : back) {
    AddToProject(module);
    FSite.ShowStatus(NameOf(module) + " keeps the comments of " + NameOf(buffer->FileName) +
                     " and is back in the project.");
  }
  return loaded;
}

void TIdeServices::OpenProject(const std::string& projectFile, const std::string& projectText,
                               const std::vector<std::string>& units) {
  CloseProject();
  FileNotify(fnProjectOpening, projectFile);
  FProject = AddBuffer(projectFile, true);
  FSite.OpenEditor(FProject, projectText, false);
  // A project made for a folder exists only here until it is saved.
  FProject->MarkedModified = !ExistsOnDisk(projectFile);
  for (const std::string& unit : units)
    if (!Find(unit)) FUnits.push_back(AddBuffer(unit, false));
  FSite.ProjectChanged();
  FileNotify(fnProjectOpened, projectFile);
}

void TIdeServices::CloseProject() {
  if (!FProject) return;
  const TIdeBufferPtr project = FProject;
  FileNotify(fnProjectClosing, project->FileName);
  const std::vector<TIdeBufferPtr> units = FUnits;
  for (const TIdeBufferPtr& unit : units) ModuleNotify(unit, ncModuleDeleted);
  ModuleNotify(project, ncModuleDeleted);
  // What waits for a save that will not come keeps its file.
  FPendingDeletions.clear();
  for (const TIdeBufferPtr& unit : units) {
    if (unit->Editor) FSite.CloseEditor(unit);
    unit->Gone = true;
  }
  if (project->Editor) FSite.CloseEditor(project);
  project->Gone = true;
  FUnits.clear();
  FProject.reset();
  FSite.ProjectChanged();
}

bool TIdeServices::AddToProject(const std::string& fileName) {
  if (!FProject || Find(fileName) == FProject) return false;
  for (const TIdeBufferPtr& unit : FUnits)
    if (SameText(unit->FileName, fileName)) return false;
  TIdeBufferPtr buffer = Find(fileName);
  if (buffer) {
    std::erase(FOthers, buffer);
  } else {
    buffer = AddBuffer(fileName, false);
  }
  // Back in the project, it is no longer to be deleted.
  std::erase_if(FPendingDeletions, [&](const TPendingDeletion& pending) {
    return SameText(pending.ModuleFile, fileName);
  });
  FUnits.push_back(buffer);
  EditUses(fileName, true);
  FSite.ProjectChanged();
  FileNotify(fnAddedToProject, fileName);
  return true;
}

bool TIdeServices::RemoveFromProject(const std::string& fileName) {
  const auto it = std::find_if(FUnits.begin(), FUnits.end(), [&](const TIdeBufferPtr& unit) {
    return SameText(unit->FileName, fileName);
  });
  if (it == FUnits.end()) return false;
  const TIdeBufferPtr unit = *it;
  FUnits.erase(it);
  EditUses(unit->FileName, false);
  FSite.ProjectChanged();
  FileNotify(fnRemovedFromProject, unit->FileName);
  ModuleNotify(unit, ncModuleDeleted);
  if (unit->Editor) FSite.CloseEditor(unit);
  unit->Gone = true;
  return true;
}

bool TIdeServices::EditUses(const std::string& unitFile, bool add) {
  if (!FProject || !Load(FProject)) return false;
  const std::string folder(ExtractFilePath(FProject->FileName));
  const std::string path = unitFile.starts_with(folder) ? unitFile.substr(folder.size()) : unitFile;
  std::string text(FProject->Bytes());
  const std::string ident = UnitIdentOf(unitFile);
  if (!(add ? AddUsesEntry(text, ident, path) : RemoveUsesEntry(text, ident))) return false;
  if (!FProject->Editor && !Open(FProject, false)) return false;
  FProject->Editor->Replace(text);
  FSite.BufferChanged(FProject);
  return true;
}

bool TIdeServices::Save(const TIdeBufferPtr& buffer) {
  if (!buffer || buffer->Gone || !Load(buffer)) return false;
  const std::string_view bytes = buffer->Bytes();
  // Written aside, flushed and renamed over the file: the file is whole,
  // old or new, whenever the program stops.
  QSaveFile file(QtName(buffer->FileName));
  const auto size = static_cast<qint64>(bytes.size());
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), size) != size ||
      !file.commit()) {
    FSite.ReportError("Cannot write " + buffer->FileName + ": " + file.errorString().toStdString());
    return false;
  }
  if (buffer->Editor) buffer->Editor->setModified(false);
  buffer->MarkedModified = false;
  FSite.BufferChanged(buffer);
  ModuleNotify(buffer, ncAfterSave);
  SettleDeletions(buffer);
  return true;
}

void TIdeServices::SettleDeletions(const TIdeBufferPtr& saved) {
  std::vector<std::string> back;
  for (auto it = FPendingDeletions.begin(); it != FPendingDeletions.end();) {
    if (it->Unit.lock() == saved) {
      // Saved as it was before Re-Comment (the restoration undone): the
      // comments are still only in the module.
      if (std::hash<std::string_view>()(saved->Bytes()) == it->FormerText) {
        back.push_back(it->ModuleFile);
        it = FPendingDeletions.erase(it);
        continue;
      }
      it->UnitSaved = true;
    }
    if (saved == FProject) it->ProjectSaved = true;
    if (!it->UnitSaved || !it->ProjectSaved) {
      ++it;
      continue;
    }
    SyncFolder(std::string(ExtractFilePath(it->ModuleFile)));
    if (std::remove(it->ModuleFile.c_str()) != 0 && errno != ENOENT) {
      FSite.ShowStatus("Cannot delete " + it->ModuleFile + ".");
    } else {
      FSite.ShowStatus("Deleted " + NameOf(it->ModuleFile) + ": its comments are back in " +
                       NameOf(it->UnitFile) + ".");
    }
    it = FPendingDeletions.erase(it);
  }
  for (const std::string& module : back) {
    AddToProject(module);
    FSite.ShowStatus(NameOf(module) + " keeps the comments of " + NameOf(saved->FileName) +
                     " and is back in the project.");
  }
}

bool TIdeServices::SaveAs(const TIdeBufferPtr& buffer, const std::string& newName) {
  if (!buffer || buffer->Gone) return false;
  const TIdeBufferPtr other = Find(newName);
  if (other && other != buffer) {
    FSite.ReportError(newName + " is open already.");
    return false;
  }
  const std::string oldName = std::exchange(buffer->FileName, newName);
  if (!Save(buffer)) {
    buffer->FileName = oldName;
    return false;
  }
  FSite.ProjectChanged();
  ModuleNotify(buffer, ncModuleRenamed);
  if (FProject && buffer != FProject) ModuleNotify(FProject, ncModuleRenamed);
  return true;
}

bool TIdeServices::LoadExpertLibrary(const std::string& path, std::string& error) {
  return FExperts.Load(path, error);
}

void TIdeServices::UnloadExperts() {
  FExperts.Unload();
}

intptr_t TIdeServices::GetParentHandle() {
  return FSite.MainWindowHandle();
}

int32_t TIdeServices::GetUnitCount() {
  return FProject ? static_cast<int32_t>(FUnits.size()) + 1 : 0;
}

std::string TIdeServices::GetUnitName(int32_t index) {
  if (!FProject || index < 0 || index > static_cast<int32_t>(FUnits.size())) return {};
  return index == 0 ? FProject->FileName : FUnits[static_cast<size_t>(index - 1)]->FileName;
}

bool TIdeServices::EnumProjectUnits(TProjectEnumProc proc, void* param) {
  const std::vector<TIdeBufferPtr> units = FUnits;
  for (const TIdeBufferPtr& unit : units)
    if (!proc(param, unit->FileName, UnitIdentOf(unit->FileName), "")) return false;
  return true;
}

std::string TIdeServices::GetProjectName() {
  return FProject ? FProject->FileName : std::string();
}

std::string TIdeServices::GetProjectOption(const std::string& fileName, const std::string& name) {
  if (name == hostintf::kOptionDialect) return "auto";
  if (name == hostintf::kOptionKeepLines) return "on";
  if (name == hostintf::kOptionProjectMode) {
    return FolderSyntaxMode(std::string(ExtractFilePath(fileName)));
  }
  return {};
}

std::string TIdeServices::GetCurrentFile() {
  return FSite.CurrentFile();
}

TIModuleInterface* TIdeServices::GetModuleInterface(const std::string& fileName) {
  const TIdeBufferPtr buffer = Find(fileName);
  if (!buffer || !Load(buffer)) return nullptr;
  return new TModule(*this, buffer);
}

bool TIdeServices::GetNewModuleName(std::string& unitIdent, std::string& fileName) {
  if (!FProject) return false;
  NextFreeModuleName(
      ExtractFilePath(FProject->FileName),
      [&](const std::string& name) { return Find(name) || ExistsOnDisk(name); }, unitIdent,
      fileName);
  return true;
}

TIModuleInterface* TIdeServices::CreateModuleEx(
    const std::string& moduleName, const std::string& /*formName*/,
    const std::string& /*ancestorClass*/, const std::string& /*fileSystem*/,
    const TByteStream* source, const TByteStream* /*form*/, TCreateModuleFlags createFlags) {
  std::string ident, fileName = moduleName;
  if (moduleName.empty() &&
      (!HasCreateFlag(createFlags, cmUnNamed) || !GetNewModuleName(ident, fileName))) {
    return nullptr;
  }
  if (Find(fileName)) return nullptr;
  const bool addToProject = HasCreateFlag(createFlags, cmAddToProject) && FProject;

  TIdeBufferPtr buffer = AddBuffer(fileName, false);
  (addToProject ? FUnits : FOthers).push_back(buffer);
  FSite.OpenEditor(buffer, NewModuleText(source, createFlags, fileName),
                   HasCreateFlag(createFlags, cmShowSource));
  buffer->MarkedModified = HasCreateFlag(createFlags, cmMarkModified);
  FSite.BufferChanged(buffer);
  if (addToProject) {
    EditUses(fileName, true);
    FSite.ProjectChanged();
    FileNotify(fnAddedToProject, fileName);
  }
  return new TModule(*this, buffer);
}

TIMainMenuIntf* TIdeServices::GetMainMenu() {
  QMenuBar* bar = FSite.MenuBar();
  return bar ? new TMainMenu(bar) : nullptr;
}

bool TIdeServices::AddNotifier(TIAddInNotifier* notifier) {
  return AddNotifierTo(FAddIns, notifier);
}

bool TIdeServices::RemoveNotifier(TIAddInNotifier* notifier) {
  return RemoveNotifierFrom(FAddIns, notifier);
}

void TIdeServices::RaiseException(const std::string& message) {
  FSite.ReportError(message);
}

bool TIdeServices::DeleteModuleFile(const std::string& fileName) {
  if (const TIdeBufferPtr module = Find(fileName); module && !module->IsProject) {
    if (!RemoveFromProject(module->FileName)) {
      if (module->Editor) FSite.CloseEditor(module);
      module->Gone = true;
      std::erase(FOthers, module);
    }
  }
  if (!ExistsOnDisk(fileName)) return true;
  TIdeBufferPtr unit = FLastRewritten.lock();
  if (unit && (unit->Gone || !unit->Modified())) unit.reset();
  const bool projectWaits = FProject && FProject->Modified();
  if (!unit && !projectWaits) return std::remove(fileName.c_str()) == 0;
  FPendingDeletions.push_back({fileName, unit, unit ? unit->FileName : std::string(),
                               unit ? FLastRewrittenFrom : 0, !unit, !projectWaits});
  std::string waits = unit ? NameOf(unit->FileName) : std::string();
  if (projectWaits) waits += (unit ? " and " : "") + NameOf(FProject->FileName);
  FSite.ShowStatus(NameOf(fileName) + " is deleted once " + waits +
                   (unit && projectWaits ? " are saved." : " is saved."));
  return true;
}

void TIdeServices::FileNotify(TFileNotification code, const std::string& fileName) {
  NotifyFile(FAddIns, code, fileName, [this](const TEscape& escape) { ReportEscape(escape); });
}

void TIdeServices::EventNotify(TEventNotification code) {
  NotifyEvent(FAddIns, code, [this](const TEscape& escape) { ReportEscape(escape); });
}

void TIdeServices::ModuleNotify(const TIdeBufferPtr& buffer, TNotifyCode code) {
  // The buffer is held for the fan-out: a notifier may drop it from the project.
  const TIdeBufferPtr held = buffer;
  NotifyModule(held->Notifiers, code, [this](const TEscape& escape) { ReportEscape(escape); });
}

void TIdeServices::ReportEscape(const TEscape& escape) {
  FSite.ReportError(escape.Sentence());
}

}  // namespace scrivlock::hosts::ide
