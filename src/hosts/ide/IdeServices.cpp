#include "hosts/ide/IdeServices.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "base/ByteStream.h"
#include "base/FileNames.h"
#include "hosts/common/NewModule.h"
#include "hosts/common/NotifierList.h"
#include "hosts/common/UnitNames.h"
#include "hosts/common/WriterCursor.h"

namespace scrivlock::hosts::ide {

using namespace hostintf;

namespace {

std::string ToCrLf(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  std::string bytes;
  bytes.reserve(static_cast<size_t>(utf8.size()) + static_cast<size_t>(utf8.count('\n')));
  for (char c : utf8) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

}  // namespace

QString EditorText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

namespace {

bool ReadFile(const std::string& fileName, std::string& bytes) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Host objects that refer to a buffer answer nothing once it is gone.
class TModule;

class TReader : public TIEditReader {
 public:
  explicit TReader(std::string text) : FText(std::move(text)) {}
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (position < 0 || count <= 0 || static_cast<size_t>(position) >= FText.size()) return 0;
    const size_t n =
        std::min(static_cast<size_t>(count), FText.size() - static_cast<size_t>(position));
    std::copy_n(FText.data() + position, n, buffer);
    return static_cast<int32_t>(n);
  }

 private:
  std::string FText;  // the text when the reader was created
};

// Works on the text the buffer held at its creation; the result becomes the
// buffer's text when the writer is released (see EditIntf.h).
class TWriter : public TIEditWriter {
 public:
  explicit TWriter(TIdeBufferPtr buffer)
      : FBuffer(std::move(buffer)),
        FText(FBuffer->Bytes()),
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
      FBuffer->SetBytes(FText.Result());
    delete this;
  }

 private:
  bool Usable() const { return !FBuffer->Gone && FBuffer->Editor; }

  TIdeBufferPtr FBuffer;
  TStringWriterSink FText;
  TWriterCursor FCursor;
};

class TEditor : public TIEditorInterface {
 public:
  explicit TEditor(TIdeBufferPtr buffer) : FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override { return Open() ? new TReader(FBuffer->Bytes()) : nullptr; }
  TIEditWriter* CreateWriter() override {
    return Open() && !FBuffer->Writing ? new TWriter(FBuffer) : nullptr;
  }
  std::string FileName() override { return FBuffer->FileName; }
  bool BufferModified() override { return Open() && FBuffer->Editor->document()->isModified(); }
  TSyntaxHighlighter SetSyntaxHighlighter(TSyntaxHighlighter highlighter) override {
    // The editor has no highlighting of its own to switch.
    return std::exchange(FHighlighter, highlighter);
  }

 private:
  bool Open() const { return !FBuffer->Gone && FBuffer->Editor; }
  TIdeBufferPtr FBuffer;
  TSyntaxHighlighter FHighlighter = shPascal;
};

class TModule : public TIModuleInterface {
 public:
  TModule(TIdeServices& services, TIdeSite& site, TIdeBufferPtr buffer)
      : FServices(services), FSite(site), FBuffer(std::move(buffer)) {}
  TIEditorInterface* GetEditorInterface() override {
    return !FBuffer->Gone && FBuffer->Editor ? new TEditor(FBuffer) : nullptr;
  }
  bool Close() override {
    if (FBuffer->Gone || !FBuffer->Editor) return false;
    FSite.CloseEditor(FBuffer);
    return true;
  }
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
  TIdeSite& FSite;
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

std::string TIdeBuffer::Bytes() const {
  return Editor ? ToCrLf(Editor->toPlainText()) : std::string();
}

void TIdeBuffer::SetBytes(std::string_view bytes) {
  if (!Editor) return;
  QTextCursor cursor(Editor->document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.insertText(EditorText(bytes));
  cursor.endEditBlock();
  Editor->document()->setModified(true);
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

TIdeBufferPtr TIdeServices::FindByEditor(const QPlainTextEdit* editor) const {
  if (FProject && FProject->Editor == editor) return FProject;
  for (const auto* list : {&FUnits, &FOthers})
    for (const TIdeBufferPtr& buffer : *list)
      if (buffer->Editor == editor) return buffer;
  return nullptr;
}

TIdeBufferPtr TIdeServices::AddBuffer(const std::string& fileName, bool isProject) {
  auto buffer = std::make_shared<TIdeBuffer>();
  buffer->FileName = fileName;
  buffer->IsProject = isProject;
  return buffer;
}

bool TIdeServices::Open(const TIdeBufferPtr& buffer, bool show) {
  if (!buffer || buffer->Gone) return false;
  if (buffer->Editor) {
    if (show) FSite.OpenEditor(buffer, {}, true);
    return true;
  }
  std::string bytes;
  if (!ReadFile(buffer->FileName, bytes)) return false;
  buffer->CrLf = bytes.find("\r\n") != std::string::npos || bytes.find('\n') == std::string::npos;
  FSite.OpenEditor(buffer, bytes, show);
  return buffer->Editor != nullptr;
}

void TIdeServices::OpenProject(const std::string& projectFile, const std::string& projectText,
                               const std::vector<std::string>& units) {
  CloseProject();
  FileNotify(fnProjectOpening, projectFile);
  FProject = AddBuffer(projectFile, true);
  FSite.OpenEditor(FProject, projectText, false);
  for (const std::string& unit : units) {
    if (Find(unit)) continue;
    FUnits.push_back(AddBuffer(unit, false));
    Open(FUnits.back(), false);
  }
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
  FUnits.push_back(buffer);
  Open(buffer, true);
  AddUsesEntry(fileName);
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
  FSite.ProjectChanged();
  FileNotify(fnRemovedFromProject, unit->FileName);
  ModuleNotify(unit, ncModuleDeleted);
  if (unit->Editor) FSite.CloseEditor(unit);
  unit->Gone = true;
  return true;
}

bool TIdeServices::Save(const TIdeBufferPtr& buffer) {
  if (!buffer || buffer->Gone || !buffer->Editor) return false;
  std::string bytes = buffer->Bytes();
  if (!buffer->CrLf) std::erase(bytes, '\r');
  std::ofstream out(buffer->FileName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    FSite.ReportError("Cannot write " + buffer->FileName + ".");
    return false;
  }
  buffer->Editor->document()->setModified(false);
  ModuleNotify(buffer, ncAfterSave);
  return true;
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

void TIdeServices::AddUsesEntry(const std::string& unitFile) {
  if (!FProject || !FProject->Editor) return;
  const std::string folder(ExtractFilePath(FProject->FileName));
  const std::string path = unitFile.starts_with(folder) ? unitFile.substr(folder.size()) : unitFile;
  const QString entry = QString::fromStdString(UnitIdentOf(unitFile) + " in '" + path + "'");
  QString text = FProject->Editor->toPlainText();
  static const QRegularExpression uses(QStringLiteral("\\buses\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = uses.match(text);
  if (match.hasMatch()) {
    const qsizetype semicolon = text.indexOf(u';', match.capturedEnd());
    if (semicolon < 0) return;
    text.insert(semicolon, QStringLiteral(",\n  ") + entry);
  } else {
    const qsizetype header = text.indexOf(u';');
    if (header < 0) return;
    text.insert(header + 1, QStringLiteral("\n\nuses\n  ") + entry + u';');
  }
  FProject->SetBytes(ToCrLf(text));
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

TIModuleInterface* TIdeServices::GetModuleInterface(const std::string& fileName) {
  const TIdeBufferPtr buffer = Find(fileName);
  if (!buffer || !Open(buffer, false)) return nullptr;
  return new TModule(*this, FSite, buffer);
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
  if (buffer->Editor) {
    buffer->Editor->document()->setModified(HasCreateFlag(createFlags, cmMarkModified));
  }
  if (addToProject) {
    AddUsesEntry(fileName);
    FSite.ProjectChanged();
    FileNotify(fnAddedToProject, fileName);
  }
  return new TModule(*this, FSite, buffer);
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

void TIdeServices::FileNotify(TFileNotification code, const std::string& fileName) {
  NotifyFile(FAddIns, code, fileName, [this](const TEscape& escape) { ReportEscape(escape); });
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
