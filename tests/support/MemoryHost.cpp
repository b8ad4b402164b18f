#include "support/MemoryHost.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <utility>

#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/FileNames.h"
#include "hosts/common/ExpertLoader.h"
#include "hosts/common/GuardedCall.h"
#include "hosts/common/NewModule.h"
#include "hosts/common/NotifierList.h"
#include "hosts/common/UnitNames.h"
#include "hosts/common/WriterCursor.h"

namespace scrivlock::hosts {

using namespace scrivlock::hostintf;

namespace {

struct TBuffer {
  std::string FileName;
  std::string Text;
  bool Open = true;  // open in the editor
  bool Modified = false;
  bool IsProject = false;
  bool Gone = false;  // no longer known to the host
  bool WriterAlive = false;
  int Readers = 0;
  TSyntaxHighlighter Highlighter = shPascal;
  std::vector<TIModuleNotifier*> Notifiers;
};
using TBufferPtr = std::shared_ptr<TBuffer>;

struct TMenuNode {
  std::string Name, Caption, Hint;
  TIMenuFlags Flags = MenuFlag(mfEnabled) | MenuFlag(mfVisible);
  TIMenuClickEvent Handler;
  std::vector<std::shared_ptr<TMenuNode>> Children;
  TMenuNode* Parent = nullptr;
};
using TMenuNodePtr = std::shared_ptr<TMenuNode>;

TMenuNodePtr AddMenuNode(const TMenuNodePtr& parent, std::string name, std::string caption) {
  auto node = std::make_shared<TMenuNode>();
  node->Name = std::move(name);
  node->Caption = std::move(caption);
  node->Parent = parent.get();
  parent->Children.push_back(node);
  return node;
}

TMenuNodePtr FindNode(const TMenuNodePtr& from, const std::string& name) {
  for (const TMenuNodePtr& child : from->Children) {
    if (SameText(child->Name, name)) return child;
    if (TMenuNodePtr found = FindNode(child, name)) return found;
  }
  return nullptr;
}

int32_t IndexInParent(const TMenuNode& node) {
  if (!node.Parent) return -1;
  const auto& siblings = node.Parent->Children;
  for (size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == &node) return static_cast<int32_t>(i);
  }
  return -1;
}

bool ContainsName(const std::set<std::string>& names, std::string_view fileName) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return SameText(name, fileName); });
}

class TTracked {
 public:
  virtual ~TTracked() = default;
};

}  // namespace

class TServices;

struct TMemoryHost::TState {
  std::unique_ptr<TServices, void (*)(TServices*)> Services{nullptr, nullptr};
  std::map<std::string, TBufferPtr> Buffers;  // by UpperCase(file name)
  TBufferPtr Project;
  std::vector<TBufferPtr> Units;
  std::vector<TIAddInNotifier*> AddIns;
  TMenuNodePtr MenuBar = std::make_shared<TMenuNode>();
  bool HasMainMenu = true;
  std::vector<std::string> Raised, RefFaults, Unhandled;
  int Live = 0;
  bool KeepReleased = true;
  std::vector<TTracked*> Graveyard;
  TFaults Faults;
  intptr_t ParentHandle = 0;
  std::map<std::string, std::string> ProjectOptions;
  std::unique_ptr<TExpertLoader> Experts;  // made with the services

  TBufferPtr Find(std::string_view fileName) const {
    auto it = Buffers.find(UpperCase(fileName));
    return it == Buffers.end() ? nullptr : it->second;
  }
  void Forget(const TBufferPtr& buffer) {
    buffer->Gone = true;
    Buffers.erase(UpperCase(buffer->FileName));
  }
  TBufferPtr AddBuffer(const std::string& fileName, std::string text) {
    auto buffer = std::make_shared<TBuffer>();
    buffer->FileName = fileName;
    buffer->Text = std::move(text);
    Buffers[UpperCase(fileName)] = buffer;
    return buffer;
  }

  // What a plug-in lets out is recorded as "call: message".
  TEscapeReport RecordEscape() {
    return [this](const TEscape& escape) {
      Unhandled.push_back(std::string(escape.CallName()) + ": " + escape.Message);
    };
  }
  void FileNotify(TFileNotification code, const std::string& fileName) {
    NotifyFile(AddIns, code, fileName, RecordEscape());
  }
  void ModuleNotify(const TBufferPtr& buffer, TNotifyCode code) {
    NotifyModule(buffer->Notifiers, code, RecordEscape());
  }

  // Reads a closed buffer back from its file; false when there is none.
  bool Reopen(TBuffer& buffer) {
    std::ifstream in(buffer.FileName, std::ios::binary);
    if (!in) return false;
    buffer.Text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    buffer.Open = true;
    buffer.Modified = false;
    return true;
  }

  bool NewModuleName(std::string& ident, std::string& fileName) const {
    if (!Project) return false;
    NextFreeModuleName(
        ExtractFilePath(Project->FileName),
        [&](const std::string& name) { return Find(name) || ExistsOnDisk(name); }, ident, fileName);
    return true;
  }
};

namespace {

using TState = TMemoryHost::TState;

// A host object: counted while alive; kept after its last Release (unless the
// host is told otherwise) so that later misuse is recorded, not undefined.
template <class Base>
class THosted : public Base, public TTracked {
 public:
  THosted(TState& state, const char* kind) : FState(state), FKind(kind) { ++FState.Live; }

  int32_t AddRef() override {
    if (!Alive("AddRef")) return 0;
    return Base::AddRef();
  }
  int32_t Release() override {
    if (!Alive("Release")) return 0;
    return Base::Release();
  }

 protected:
  void Destroy() override {
    FDead = true;
    --FState.Live;
    OnFinalRelease();
    if (FState.KeepReleased) {
      FState.Graveyard.push_back(this);
    } else {
      delete this;
    }
  }
  virtual void OnFinalRelease() {}
  bool Alive(const char* operation) {
    if (FDead)
      FState.RefFaults.push_back(std::string(FKind) + "::" + operation +
                                 " after its final Release");
    return !FDead;
  }

  TState& FState;

 private:
  const char* FKind;
  bool FDead = false;
};

class TReader : public THosted<TIEditReader> {
 public:
  TReader(TState& state, TBufferPtr buffer)
      : THosted(state, "TIEditReader"), FBuffer(std::move(buffer)) {}
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (!Alive("GetText")) return 0;
    if (ContainsName(FState.Faults.FailingReaders, FBuffer->FileName))
      throw TError("Read error in editor buffer");
    const std::string& text = FBuffer->Text;
    if (position < 0 || count <= 0 || static_cast<size_t>(position) >= text.size()) return 0;
    const size_t n =
        std::min(text.size() - static_cast<size_t>(position), static_cast<size_t>(count));
    std::memcpy(buffer, text.data() + position, n);
    return static_cast<int32_t>(n);
  }
  int64_t TextLength() override {
    if (!Alive("TextLength")) return -1;
    for (const auto& [name, length] : FState.Faults.TextLengths) {
      if (SameText(name, FBuffer->FileName)) return length;
    }
    return static_cast<int64_t>(FBuffer->Text.size());
  }

 private:
  TBufferPtr FBuffer;
};

class TWriter : public THosted<TIEditWriter> {
 public:
  TWriter(TState& state, TBufferPtr buffer)
      : THosted(state, "TIEditWriter"),
        FBuffer(std::move(buffer)),
        FText(FBuffer->Text),
        FCursor(FText.Original().size(), FText) {
    FBuffer->WriterAlive = true;
  }
  bool Insert(const char* text) override { return Alive("Insert") && FCursor.Insert(text); }
  bool CopyTo(int32_t position) override { return Alive("CopyTo") && FCursor.CopyTo(position); }
  bool DeleteTo(int32_t position) override {
    return Alive("DeleteTo") && FCursor.DeleteTo(position);
  }
  int32_t CurrentPos() override { return FCursor.CurrentPos(); }

 protected:
  // The changes take effect when the writer goes, as in the IDE.
  void OnFinalRelease() override {
    FBuffer->WriterAlive = false;
    if (FBuffer->Gone || !FCursor.Finish()) return;
    std::string& output = FText.Result();
    if (FState.Faults.AlterWrittenText) FState.Faults.AlterWrittenText(FBuffer->FileName, output);
    FBuffer->Text = std::move(output);
    FBuffer->Modified = true;
  }

 private:
  TBufferPtr FBuffer;
  TStringWriterSink FText;
  TWriterCursor FCursor;
};

class TEditor : public THosted<TIEditorInterface> {
 public:
  TEditor(TState& state, TBufferPtr buffer)
      : THosted(state, "TIEditorInterface"), FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override {
    if (!Alive("CreateReader") || ContainsName(FState.Faults.NoReaders, FBuffer->FileName))
      return nullptr;
    ++FBuffer->Readers;
    return new TReader(FState, FBuffer);
  }
  TIEditWriter* CreateWriter() override {
    if (!Alive("CreateWriter") || FBuffer->WriterAlive || FBuffer->Gone ||
        ContainsName(FState.Faults.FailingWriters, FBuffer->FileName)) {
      return nullptr;
    }
    return new TWriter(FState, FBuffer);
  }
  std::string FileName() override { return Alive("FileName") ? FBuffer->FileName : std::string(); }
  bool BufferModified() override { return Alive("BufferModified") && FBuffer->Modified; }
  TSyntaxHighlighter SetSyntaxHighlighter(TSyntaxHighlighter highlighter) override {
    if (!Alive("SetSyntaxHighlighter")) return shNone;
    return std::exchange(FBuffer->Highlighter, highlighter);
  }

 private:
  TBufferPtr FBuffer;
};

class TModule : public THosted<TIModuleInterface> {
 public:
  TModule(TState& state, TBufferPtr buffer, TMemoryHost& host)
      : THosted(state, "TIModuleInterface"), FBuffer(std::move(buffer)), FHost(host) {}
  TIEditorInterface* GetEditorInterface() override {
    if (!Alive("GetEditorInterface") || FBuffer->Gone || !FBuffer->Open) return nullptr;
    return new TEditor(FState, FBuffer);
  }
  // Closing drops unsaved changes: a later GetModuleInterface reads the file.
  bool Close() override {
    if (!Alive("Close") || FBuffer->Gone) return false;
    FBuffer->Open = false;
    FBuffer->Modified = false;
    FBuffer->Text.clear();
    return true;
  }
  bool Save(bool /*forceSave*/) override {
    return Alive("Save") && !FBuffer->Gone && FHost.Save(FBuffer->FileName);
  }
  bool IsProjectModule() override { return Alive("IsProjectModule") && FBuffer->IsProject; }
  bool AddNotifier(TIModuleNotifier* notifier) override {
    return Alive("AddNotifier") && AddNotifierTo(FBuffer->Notifiers, notifier);
  }
  bool RemoveNotifier(TIModuleNotifier* notifier) override {
    return Alive("RemoveNotifier") && RemoveNotifierFrom(FBuffer->Notifiers, notifier);
  }

 private:
  TBufferPtr FBuffer;
  TMemoryHost& FHost;
};

class TMenuItem : public THosted<TIMenuItemIntf> {
 public:
  TMenuItem(TState& state, TMenuNodePtr node, bool owning)
      : THosted(state, "TIMenuItemIntf"), FNode(std::move(node)), FOwning(owning) {}
  int32_t GetItemCount() override {
    return Alive("GetItemCount") ? static_cast<int32_t>(FNode->Children.size()) : 0;
  }
  TIMenuItemIntf* GetItem(int32_t index) override {
    if (!Alive("GetItem") || index < 0 || static_cast<size_t>(index) >= FNode->Children.size())
      return nullptr;
    return new TMenuItem(FState, FNode->Children[static_cast<size_t>(index)], false);
  }
  std::string GetName() override { return Alive("GetName") ? FNode->Name : std::string(); }
  std::string GetCaption() override { return Alive("GetCaption") ? FNode->Caption : std::string(); }
  TIMenuFlags GetFlags() override { return Alive("GetFlags") ? FNode->Flags : 0; }
  int32_t GetIndex() override { return Alive("GetIndex") ? IndexInParent(*FNode) : -1; }
  TIMenuItemIntf* GetParent() override {
    if (!Alive("GetParent") || !FNode->Parent) return nullptr;
    TMenuNode* parent = FNode->Parent;
    TMenuNode* grand = parent->Parent;
    // Nodes are held by their parent; the menu bar by the host.
    TMenuNodePtr holder =
        grand ? grand->Children[static_cast<size_t>(IndexInParent(*parent))] : FState.MenuBar;
    return new TMenuItem(FState, holder, false);
  }
  TIMenuItemIntf* InsertItem(int32_t index, const std::string& caption, const std::string& name,
                             const std::string& hint, int32_t /*shortCut*/, int32_t /*context*/,
                             int32_t /*groupIndex*/, TIMenuFlags flags,
                             TIMenuClickEvent eventHandler) override {
    if (!Alive("InsertItem")) return nullptr;
    auto node = std::make_shared<TMenuNode>();
    node->Name = name;
    node->Caption = caption;
    node->Hint = hint;
    node->Flags = flags;
    node->Handler = std::move(eventHandler);
    node->Parent = FNode.get();
    auto& children = FNode->Children;
    const size_t at = std::clamp<int64_t>(index, 0, static_cast<int64_t>(children.size()));
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), node);
    return new TMenuItem(FState, node, true);
  }

 protected:
  // An item a plug-in inserted leaves the menu with the plug-in's last reference.
  void OnFinalRelease() override {
    if (!FOwning || !FNode->Parent) return;
    auto& siblings = FNode->Parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), FNode), siblings.end());
    FNode->Handler = nullptr;
    FNode->Parent = nullptr;
  }

 private:
  TMenuNodePtr FNode;
  bool FOwning;
};

class TMainMenu : public THosted<TIMainMenuIntf> {
 public:
  explicit TMainMenu(TState& state) : THosted(state, "TIMainMenuIntf") {}
  TIMenuItemIntf* GetMenuItems() override {
    return Alive("GetMenuItems") ? new TMenuItem(FState, FState.MenuBar, false) : nullptr;
  }
  TIMenuItemIntf* FindMenuItem(const std::string& name) override {
    if (!Alive("FindMenuItem")) return nullptr;
    TMenuNodePtr node = FindNode(FState.MenuBar, name);
    return node ? new TMenuItem(FState, node, false) : nullptr;
  }
};

}  // namespace

// The services object belongs to the host: a Release to 0 by the plug-in is a
// fault, not a destruction.
class TServices : public TIToolServices {
 public:
  TServices(TState& state, TMemoryHost& host) : FState(state), FHost(host) {}
  static void Free(TServices* services) { delete services; }

  intptr_t GetParentHandle() override { return FState.ParentHandle; }
  std::string GetProjectOption(const std::string& /*fileName*/, const std::string& name) override {
    const auto option = FState.ProjectOptions.find(name);
    return option != FState.ProjectOptions.end() ? option->second : std::string();
  }
  int32_t GetUnitCount() override {
    return FState.Project ? static_cast<int32_t>(FState.Units.size()) + 1 : 0;
  }
  std::string GetUnitName(int32_t index) override {
    if (!FState.Project || index < 0 || index > static_cast<int32_t>(FState.Units.size()))
      return {};
    return index == 0 ? FState.Project->FileName
                      : FState.Units[static_cast<size_t>(index - 1)]->FileName;
  }
  bool EnumProjectUnits(TProjectEnumProc proc, void* param) override {
    const std::vector<TBufferPtr> units = FState.Units;
    for (const TBufferPtr& unit : units) {
      if (!proc(param, unit->FileName, UnitIdentOf(unit->FileName), "")) return false;
    }
    return true;
  }
  std::string GetProjectName() override {
    return FState.Project ? FState.Project->FileName : std::string();
  }

  TIModuleInterface* GetModuleInterface(const std::string& fileName) override {
    if (ContainsName(FState.Faults.MissingModules, fileName)) return nullptr;
    TBufferPtr buffer = FState.Find(fileName);
    if (!buffer) return nullptr;
    if (!buffer->Open && !FState.Reopen(*buffer)) return nullptr;
    return new TModule(FState, buffer, FHost);
  }
  bool GetNewModuleName(std::string& unitIdent, std::string& fileName) override {
    return FState.NewModuleName(unitIdent, fileName);
  }
  TIModuleInterface* CreateModuleEx(const std::string& moduleName, const std::string& /*formName*/,
                                    const std::string& /*ancestorClass*/,
                                    const std::string& /*fileSystem*/, const TByteStream* source,
                                    const TByteStream* /*form*/,
                                    TCreateModuleFlags createFlags) override {
    const bool addToProject = HasCreateFlag(createFlags, cmAddToProject);
    if (FState.Faults.FailCreateModule) return nullptr;
    if (addToProject && !FState.Project) return nullptr;
    std::string ident, fileName;
    if (!FState.Faults.CreatedModuleName.empty()) {
      fileName = FState.Faults.CreatedModuleName;
    } else if (!moduleName.empty()) {
      fileName = moduleName;
    } else if (!HasCreateFlag(createFlags, cmUnNamed) || !FState.NewModuleName(ident, fileName)) {
      return nullptr;
    }
    if (FState.Find(fileName)) return nullptr;
    TBufferPtr buffer = FState.AddBuffer(fileName, NewModuleText(source, createFlags, fileName));
    buffer->Modified = HasCreateFlag(createFlags, cmMarkModified);
    auto* module = new TModule(FState, buffer, FHost);
    if (addToProject) {
      FState.Units.push_back(buffer);
      FState.FileNotify(fnAddedToProject, fileName);
    }
    return module;
  }

  TIMainMenuIntf* GetMainMenu() override {
    return FState.HasMainMenu ? new TMainMenu(FState) : nullptr;
  }

  bool AddNotifier(TIAddInNotifier* notifier) override {
    return AddNotifierTo(FState.AddIns, notifier);
  }
  bool RemoveNotifier(TIAddInNotifier* notifier) override {
    return RemoveNotifierFrom(FState.AddIns, notifier);
  }
  void RaiseException(const std::string& message) override { FState.Raised.push_back(message); }

 protected:
  void Destroy() override {
    FState.RefFaults.push_back("TIToolServices released to 0 by its user");
  }

 private:
  TState& FState;
  TMemoryHost& FHost;
};

TMemoryHost::TMemoryHost() : FState(std::make_unique<TState>()) {
  FState->Services = {new TServices(*FState, *this), &TServices::Free};
  FState->Experts = std::make_unique<TExpertLoader>(*FState->Services, FState->RecordEscape());
  const TMenuNodePtr& bar = FState->MenuBar;
  TMenuNodePtr file = AddMenuNode(bar, "FileMenu", "&File");
  AddMenuNode(file, "FileOpenItem", "&Open...");
  AddMenuNode(file, "FileSaveItem", "&Save");
  AddMenuNode(bar, "EditMenu", "&Edit");
  TMenuNodePtr view = AddMenuNode(bar, "ViewMenu", "&View");
  AddMenuNode(view, "ViewPrjMgrItem", "Project &Manager");
  AddMenuNode(view, "ViewObjInspItem", "&Object Inspector");
  AddMenuNode(bar, "HelpMenu", "&Help");
}

TMemoryHost::~TMemoryHost() {
  UnloadExperts();
  for (TTracked* object : FState->Graveyard) delete object;
}

TIToolServices* TMemoryHost::ToolServices() {
  return FState->Services.get();
}

void TMemoryHost::OpenProject(const std::string& projectFile, std::string text) {
  CloseProject();
  FState->FileNotify(fnProjectOpening, projectFile);
  FState->Project = FState->AddBuffer(projectFile, std::move(text));
  FState->Project->IsProject = true;
  FState->FileNotify(fnProjectOpened, projectFile);
}

void TMemoryHost::CloseProject() {
  if (!FState->Project) return;
  TBufferPtr project = FState->Project;
  FState->FileNotify(fnProjectClosing, project->FileName);
  const std::vector<TBufferPtr> units = std::move(FState->Units);
  FState->Units.clear();
  for (const TBufferPtr& unit : units) {
    FState->ModuleNotify(unit, ncModuleDeleted);
    FState->Forget(unit);
  }
  FState->ModuleNotify(project, ncModuleDeleted);
  FState->Forget(project);
  FState->Project = nullptr;
}

bool TMemoryHost::ProjectOpen() const {
  return FState->Project != nullptr;
}
std::string TMemoryHost::ProjectFile() const {
  return FState->Project ? FState->Project->FileName : std::string();
}

std::vector<std::string> TMemoryHost::UnitFiles() const {
  std::vector<std::string> names;
  for (const TBufferPtr& unit : FState->Units) names.push_back(unit->FileName);
  return names;
}

bool TMemoryHost::AddUnit(const std::string& fileName, std::string text) {
  if (!FState->Project || FState->Find(fileName)) return false;
  FState->Units.push_back(FState->AddBuffer(fileName, std::move(text)));
  FState->FileNotify(fnAddedToProject, fileName);
  return true;
}

bool TMemoryHost::RemoveUnit(const std::string& fileName) {
  auto& units = FState->Units;
  auto it = std::find_if(units.begin(), units.end(), [&](const TBufferPtr& unit) {
    return SameText(unit->FileName, fileName);
  });
  if (it == units.end()) return false;
  TBufferPtr unit = *it;
  units.erase(it);
  FState->FileNotify(fnRemovedFromProject, unit->FileName);
  FState->ModuleNotify(unit, ncModuleDeleted);
  FState->Forget(unit);
  return true;
}

bool TMemoryHost::RenameUnit(const std::string& oldName, const std::string& newName) {
  TBufferPtr buffer = FState->Find(oldName);
  if (!buffer || buffer->IsProject || FState->Find(newName)) return false;
  FState->Buffers.erase(UpperCase(oldName));
  buffer->FileName = newName;
  FState->Buffers[UpperCase(newName)] = buffer;
  FState->ModuleNotify(buffer, ncModuleRenamed);
  if (FState->Project) FState->ModuleNotify(FState->Project, ncModuleRenamed);
  return true;
}

bool TMemoryHost::OpenFile(const std::string& fileName, std::string text) {
  if (FState->Find(fileName)) return false;
  FState->AddBuffer(fileName, std::move(text));
  FState->FileNotify(fnFileOpened, fileName);
  return true;
}

bool TMemoryHost::HasBuffer(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer && buffer->Open;
}

std::optional<std::string> TMemoryHost::Text(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  if (!buffer || !buffer->Open) return std::nullopt;
  return buffer->Text;
}

void TMemoryHost::SetText(const std::string& fileName, std::string text) {
  if (TBufferPtr buffer = FState->Find(fileName)) {
    buffer->Text = std::move(text);
    buffer->Open = true;
    buffer->Modified = true;
  }
}

bool TMemoryHost::Modified(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer && buffer->Modified;
}

bool TMemoryHost::Closed(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer && !buffer->Open;
}

TSyntaxHighlighter TMemoryHost::Highlighter(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer ? buffer->Highlighter : shNone;
}

int TMemoryHost::ReaderCount(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer ? buffer->Readers : 0;
}

bool TMemoryHost::Save(const std::string& fileName) {
  TBufferPtr buffer = FState->Find(fileName);
  if (!buffer || !buffer->Open) return false;
  {
    std::ofstream out(buffer->FileName, std::ios::binary | std::ios::trunc);
    out.write(buffer->Text.data(), static_cast<std::streamsize>(buffer->Text.size()));
    out.flush();
    if (!out) return false;
  }
  buffer->Modified = false;
  FState->ModuleNotify(buffer, ncAfterSave);
  return true;
}

bool TMemoryHost::SaveAll() {
  bool ok = true;
  const std::vector<TBufferPtr> units = FState->Units;
  for (const TBufferPtr& unit : units) {
    if (unit->Open && unit->Modified) ok = Save(unit->FileName) && ok;
  }
  if (FState->Project) ok = Save(FState->Project->FileName) && ok;
  return ok;
}

void TMemoryHost::FireFileNotification(TFileNotification code, const std::string& fileName) {
  FState->FileNotify(code, fileName);
}

void TMemoryHost::FireModuleNotification(const std::string& fileName, TNotifyCode code) {
  if (TBufferPtr buffer = FState->Find(fileName)) FState->ModuleNotify(buffer, code);
}

int TMemoryHost::AddInNotifierCount() const {
  return static_cast<int>(FState->AddIns.size());
}

int TMemoryHost::ModuleNotifierCount(const std::string& fileName) const {
  TBufferPtr buffer = FState->Find(fileName);
  return buffer ? static_cast<int>(buffer->Notifiers.size()) : 0;
}

bool TMemoryHost::ClickMenuItem(const std::string& name) {
  TMenuNodePtr node = FindNode(FState->MenuBar, name);
  if (!node || !node->Handler) return false;
  TIMenuClickEvent handler = node->Handler;  // the handler may remove its own item
  auto* sender = new TMenuItem(*FState, node, false);
  CallGuarded(
      pcMenuClick, [&] { handler(sender); }, FState->RecordEscape());
  sender->Release();
  return true;
}

std::optional<TMemoryHost::TMenuItemInfo> TMemoryHost::FindMenuItem(const std::string& name) const {
  TMenuNodePtr node = FindNode(FState->MenuBar, name);
  if (!node) return std::nullopt;
  TMenuItemInfo info;
  info.Name = node->Name;
  info.Caption = node->Caption;
  info.Hint = node->Hint;
  info.Parent = node->Parent ? node->Parent->Name : std::string();
  info.Index = IndexInParent(*node);
  info.Flags = node->Flags;
  return info;
}

std::vector<std::string> TMemoryHost::MenuItemNames(const std::string& parentName) const {
  TMenuNodePtr parent =
      parentName.empty() ? FState->MenuBar : FindNode(FState->MenuBar, parentName);
  std::vector<std::string> names;
  if (parent) {
    for (const TMenuNodePtr& child : parent->Children) names.push_back(child->Name);
  }
  return names;
}

void TMemoryHost::SetHasMainMenu(bool has) {
  FState->HasMainMenu = has;
}

void TMemoryHost::RemoveProjectManagerItem() {
  if (TMenuNodePtr node = FindNode(FState->MenuBar, "ViewPrjMgrItem")) {
    auto& siblings = node->Parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  }
}

bool TMemoryHost::InitExpert(TExpertInitProc initProc) {
  return FState->Experts->Init(initProc);
}

bool TMemoryHost::LoadExpertLibrary(const std::string& path, std::string* error) {
  std::string why;
  const bool loaded = FState->Experts->Load(path, why);
  if (!loaded && error) *error = why;
  return loaded;
}

void TMemoryHost::UnloadExperts() {
  FState->Experts->Unload();
}

int TMemoryHost::ExpertCount() const {
  return FState->Experts->ExpertCount();
}
TIExpert* TMemoryHost::Expert(int index) const {
  return FState->Experts->Expert(index);
}
const std::vector<std::string>& TMemoryHost::RaisedExceptions() const {
  return FState->Raised;
}
const std::vector<std::string>& TMemoryHost::UnhandledExceptions() const {
  return FState->Unhandled;
}
int TMemoryHost::LiveInterfaces() const {
  return FState->Live;
}
const std::vector<std::string>& TMemoryHost::ReferenceFaults() const {
  return FState->RefFaults;
}
void TMemoryHost::SetKeepReleased(bool keep) {
  FState->KeepReleased = keep;
}
void TMemoryHost::SetParentHandle(intptr_t handle) {
  FState->ParentHandle = handle;
}

void TMemoryHost::SetProjectOption(const std::string& name, std::string value) {
  if (value.empty()) {
    FState->ProjectOptions.erase(name);
  } else {
    FState->ProjectOptions[name] = std::move(value);
  }
}
TMemoryHost::TFaults& TMemoryHost::Faults() {
  return FState->Faults;
}

}  // namespace scrivlock::hosts
