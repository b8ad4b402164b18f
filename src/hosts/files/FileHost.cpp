#include "hosts/files/FileHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/FileNames.h"

namespace scrivlock::hosts {

using namespace scrivlock::expert;
namespace fs = std::filesystem;

namespace {

std::string SystemError(const std::string& what, const std::string& fileName) {
  return what + " " + fileName + ": " + std::strerror(errno);
}

struct TFileBuffer {
  std::string FileName;
  bool Loaded = false;  // Text holds the whole buffer; otherwise the file does
  std::string Text;
  bool Created = false;   // made by CreateModuleEx, not on disk yet
  bool Modified = false;  // differs from the file
  bool WriterAlive = false;
  TSyntaxHighlighter Highlighter = shPascal;

  // Loads the file's bytes unless they are loaded already.
  bool Load() {
    if (Loaded) return true;
    FILE* file = std::fopen(FileName.c_str(), "rb");
    if (!file) return false;
    std::string bytes;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return false;
    Text = std::move(bytes);
    Loaded = true;
    return true;
  }
};
using TFileBufferPtr = std::shared_ptr<TFileBuffer>;

std::string UnitIdentOf(std::string_view fileName) {
  std::string_view name = ExtractFileName(fileName);
  name.remove_suffix(ExtractFileExt(name).size());
  return std::string(name);
}

// Writes `text` to `fileName` through a temporary file in the same folder:
// flushed, then renamed over it (or, for a new file, moved there only if no
// file of that name exists), then the folder flushed.
bool SaveFileSafely(const std::string& folder, const std::string& fileName, const std::string& text,
                    bool isNew, std::string* error) {
  const std::string temp = folder + "/." + std::string(ExtractFileName(fileName)) + ".scrivlock-" +
                           std::to_string(getpid()) + ".tmp";
  mode_t mode = 0666;
  struct stat old {};
  if (!isNew && ::stat(fileName.c_str(), &old) == 0) mode = old.st_mode & 07777;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  auto fail = [&](const std::string& what, const std::string& name) {
    if (error) *error = SystemError(what, name);
    ::unlink(temp.c_str());
    return false;
  };
  if (fd < 0) return fail("cannot create", temp);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno ? errno : ENOSPC;
      ::close(fd);
      errno = saved;
      return fail("cannot write", temp);
    }
    done += static_cast<size_t>(n);
  }
  if (!isNew) ::fchmod(fd, mode);
  if (::fsync(fd) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return fail("cannot flush", temp);
  }
  if (::close(fd) != 0) return fail("cannot close", temp);
  if (isNew) {
    // link() fails when the name is taken: a new unit never replaces a file.
    if (::link(temp.c_str(), fileName.c_str()) != 0) return fail("cannot create", fileName);
    ::unlink(temp.c_str());
  } else if (::rename(temp.c_str(), fileName.c_str()) != 0) {
    return fail("cannot replace", fileName);
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

struct TFileHost::TState {
  std::string Folder;
  std::map<std::string, TFileBufferPtr> Buffers;  // by UpperCase(full name)
  std::vector<TFileBufferPtr> Units;              // listed .pas files, then created ones
  std::vector<std::string> Deletions;
  std::vector<TIAddInNotifier*> AddIns;
  std::unique_ptr<TIToolServices, void (*)(TIToolServices*)> Services{nullptr, nullptr};
  int Live = 0;

  TFileBufferPtr Find(std::string_view fileName) const {
    auto it = Buffers.find(UpperCase(fileName));
    return it == Buffers.end() ? nullptr : it->second;
  }
  TFileBufferPtr Add(const std::string& fileName) {
    auto buffer = std::make_shared<TFileBuffer>();
    buffer->FileName = fileName;
    Buffers[UpperCase(fileName)] = buffer;
    return buffer;
  }
  bool Taken(const std::string& fileName) const {
    if (Find(fileName)) return true;
    std::error_code error;
    return fs::exists(fileName, error);
  }
};

namespace {

using TState = TFileHost::TState;

template <class Base>
class TCounted : public Base {
 public:
  explicit TCounted(TState& state) : FState(state) { ++FState.Live; }
  ~TCounted() override { --FState.Live; }

 protected:
  TState& FState;
};

class TFileReader : public TCounted<TIEditReader> {
 public:
  TFileReader(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  ~TFileReader() override {
    if (FDescriptor >= 0) ::close(FDescriptor);
  }
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (position < 0 || count <= 0) return 0;
    if (FBuffer->Loaded) {
      const std::string& text = FBuffer->Text;
      if (static_cast<size_t>(position) >= text.size()) return 0;
      const size_t n =
          std::min(text.size() - static_cast<size_t>(position), static_cast<size_t>(count));
      std::memcpy(buffer, text.data() + position, n);
      return static_cast<int32_t>(n);
    }
    // Read from the file only as far as asked: a search reads 8092 bytes of
    // each unit, not the whole unit.
    if (FDescriptor < 0) {
      FDescriptor = ::open(FBuffer->FileName.c_str(), O_RDONLY | O_CLOEXEC);
      if (FDescriptor < 0) throw TError(SystemError("cannot open", FBuffer->FileName));
    }
    int32_t done = 0;
    while (done < count) {
      const ssize_t n =
          ::pread(FDescriptor, buffer + done, static_cast<size_t>(count - done), position + done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw TError(SystemError("cannot read", FBuffer->FileName));
      if (n == 0) break;
      done += static_cast<int32_t>(n);
    }
    return done;
  }

 private:
  TFileBufferPtr FBuffer;
  int FDescriptor = -1;
};

// Positions as in EditIntf.h: those of the text the writer started from.
class TFileWriter : public TCounted<TIEditWriter> {
 public:
  TFileWriter(TState& state, TFileBufferPtr buffer)
      : TCounted(state), FBuffer(std::move(buffer)), FOriginal(FBuffer->Text) {
    FBuffer->WriterAlive = true;
  }
  ~TFileWriter() override {
    FOutput.append(FOriginal, FCursor, std::string::npos);
    FBuffer->WriterAlive = false;
    if (FOutput != FBuffer->Text) {
      FBuffer->Text = std::move(FOutput);
      FBuffer->Modified = true;
    }
  }
  bool Insert(const char* text) override {
    FOutput += text;
    return true;
  }
  bool CopyTo(int32_t position) override { return Advance(position, true); }
  bool DeleteTo(int32_t position) override { return Advance(position, false); }
  int32_t CurrentPos() override { return static_cast<int32_t>(FCursor); }

 private:
  bool Advance(int32_t position, bool keep) {
    if (position < 0 || static_cast<size_t>(position) < FCursor) return true;
    const size_t stop = std::min(static_cast<size_t>(position) + 1, FOriginal.size());
    if (stop > FCursor) {
      if (keep) FOutput.append(FOriginal, FCursor, stop - FCursor);
      FCursor = stop;
    }
    return true;
  }

  TFileBufferPtr FBuffer;
  std::string FOriginal;
  std::string FOutput;
  size_t FCursor = 0;
};

class TFileEditor : public TCounted<TIEditorInterface> {
 public:
  TFileEditor(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override { return new TFileReader(FState, FBuffer); }
  TIEditWriter* CreateWriter() override {
    if (FBuffer->WriterAlive || !FBuffer->Load()) return nullptr;
    return new TFileWriter(FState, FBuffer);
  }
  std::string FileName() override { return FBuffer->FileName; }
  bool BufferModified() override { return FBuffer->Modified; }
  TSyntaxHighlighter SetSyntaxHighlighter(TSyntaxHighlighter highlighter) override {
    return std::exchange(FBuffer->Highlighter, highlighter);
  }

 private:
  TFileBufferPtr FBuffer;
};

class TFileModule : public TCounted<TIModuleInterface> {
 public:
  TFileModule(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  TIEditorInterface* GetEditorInterface() override { return new TFileEditor(FState, FBuffer); }
  // Closing the editor drops what it did not save.
  bool Close() override {
    if (FBuffer->Created) return false;
    FBuffer->Loaded = false;
    FBuffer->Text.clear();
    FBuffer->Modified = false;
    return true;
  }
  bool Save(bool /*forceSave*/) override { return false; }  // the host saves at Commit
  bool IsProjectModule() override { return false; }
  bool AddNotifier(TIModuleNotifier* /*notifier*/) override { return false; }
  bool RemoveNotifier(TIModuleNotifier* /*notifier*/) override { return false; }

 private:
  TFileBufferPtr FBuffer;
};

class TFileServices : public TIToolServices {
 public:
  explicit TFileServices(TState& state) : FState(state) {}
  static void Free(TIToolServices* services) { delete static_cast<TFileServices*>(services); }

  intptr_t GetParentHandle() override { return 0; }
  int32_t GetUnitCount() override { return static_cast<int32_t>(FState.Units.size()); }
  std::string GetUnitName(int32_t index) override {
    if (index < 0 || index >= GetUnitCount()) return {};
    return FState.Units[static_cast<size_t>(index)]->FileName;
  }
  bool EnumProjectUnits(TProjectEnumProc proc, void* param) override {
    const std::vector<TFileBufferPtr> units = FState.Units;
    for (const TFileBufferPtr& unit : units) {
      if (!proc(param, unit->FileName, UnitIdentOf(unit->FileName), "")) return false;
    }
    return true;
  }
  std::string GetProjectName() override { return FState.Folder; }

  TIModuleInterface* GetModuleInterface(const std::string& fileName) override {
    TFileBufferPtr buffer = FState.Find(fileName);
    if (!buffer) {
      struct stat info {};
      if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
      buffer = FState.Add(fileName);
    }
    return new TFileModule(FState, buffer);
  }
  bool GetNewModuleName(std::string& unitIdent, std::string& fileName) override {
    for (int n = 1;; ++n) {
      std::string ident = "Unit" + std::to_string(n);
      std::string candidate = FState.Folder + "/" + ident + ".pas";
      if (!FState.Taken(candidate)) {
        unitIdent = std::move(ident);
        fileName = std::move(candidate);
        return true;
      }
    }
  }
  TIModuleInterface* CreateModuleEx(const std::string& moduleName, const std::string& /*formName*/,
                                    const std::string& /*ancestorClass*/,
                                    const std::string& /*fileSystem*/, const TByteStream* source,
                                    const TByteStream* /*form*/,
                                    TCreateModuleFlags createFlags) override {
    auto has = [&](TCreateModuleFlag flag) { return (createFlags & CreateFlag(flag)) != 0; };
    std::string ident, fileName;
    if (!moduleName.empty()) {
      fileName = TFileHost::FullFileName(moduleName);
    } else if (!has(cmUnNamed) || !GetNewModuleName(ident, fileName)) {
      return nullptr;
    }
    if (FState.Taken(fileName)) return nullptr;
    TFileBufferPtr buffer = FState.Add(fileName);
    buffer->Created = true;
    buffer->Loaded = true;
    buffer->Modified = true;
    if (source) {
      buffer->Text = std::string(source->View());
    } else if (has(cmNewUnit)) {
      buffer->Text = "unit " + UnitIdentOf(fileName) +
                     ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
    }
    auto* module = new TFileModule(FState, buffer);
    if (has(cmAddToProject)) {
      FState.Units.push_back(buffer);
      const std::vector<TIAddInNotifier*> notifiers = FState.AddIns;
      for (TIAddInNotifier* notifier : notifiers) {
        bool cancel = false;
        notifier->FileNotification(fnAddedToProject, fileName, cancel);
      }
    }
    return module;
  }
  TIMainMenuIntf* GetMainMenu() override { return nullptr; }
  bool AddNotifier(TIAddInNotifier* notifier) override {
    if (!notifier ||
        std::find(FState.AddIns.begin(), FState.AddIns.end(), notifier) != FState.AddIns.end()) {
      return false;
    }
    FState.AddIns.push_back(notifier);
    return true;
  }
  bool RemoveNotifier(TIAddInNotifier* notifier) override {
    auto it = std::find(FState.AddIns.begin(), FState.AddIns.end(), notifier);
    if (it == FState.AddIns.end()) return false;
    FState.AddIns.erase(it);
    return true;
  }
  void RaiseException(const std::string& message) override {
    std::fprintf(stderr, "%s\n", message.c_str());
  }

 protected:
  void Destroy() override {}  // the host owns it

 private:
  TState& FState;
};

}  // namespace

std::string TFileHost::FullFileName(const std::string& path) {
  std::error_code error;
  fs::path full = fs::absolute(fs::path(path), error);
  if (error) full = fs::path(path);
  return full.lexically_normal().string();
}

std::string TFileHost::ProjectFolderOf(const std::string& path) {
  std::error_code error;
  fs::path full(FullFileName(path));
  if (!fs::is_directory(full, error)) full = full.parent_path();
  std::string folder = full.lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

TFileHost::TFileHost(const std::string& projectPath) : FState(std::make_unique<TState>()) {
  FState->Folder = ProjectFolderOf(projectPath);
  FState->Services = {new TFileServices(*FState), &TFileServices::Free};
  DIR* dir = ::opendir(FState->Folder.c_str());
  if (!dir) throw TError(SystemError("cannot read folder", FState->Folder));
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.empty() || name.front() == '.' || !SameText(ExtractFileExt(name), ".pas")) continue;
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    FState->Units.push_back(FState->Add(FState->Folder + "/" + name));
}

TFileHost::~TFileHost() = default;

TIToolServices* TFileHost::ToolServices() {
  return FState->Services.get();
}
const std::string& TFileHost::Folder() const {
  return FState->Folder;
}

std::vector<std::string> TFileHost::UnitFiles() const {
  std::vector<std::string> names;
  names.reserve(FState->Units.size());
  for (const TFileBufferPtr& unit : FState->Units) names.push_back(unit->FileName);
  return names;
}

void TFileHost::ScheduleDelete(const std::string& fileName) {
  FState->Deletions.push_back(fileName);
}

std::vector<TFileHost::TChange> TFileHost::PendingChanges() const {
  std::vector<TChange> changes;
  for (const auto& [key, buffer] : FState->Buffers) {
    if (buffer->Created) changes.push_back({ckCreate, buffer->FileName});
  }
  for (const auto& [key, buffer] : FState->Buffers) {
    if (!buffer->Created && buffer->Modified) changes.push_back({ckRewrite, buffer->FileName});
  }
  for (const std::string& name : FState->Deletions) changes.push_back({ckDelete, name});
  return changes;
}

bool TFileHost::Commit(std::string* error) {
  for (const TChange& change : PendingChanges()) {
    if (change.Kind == ckDelete) {
      if (::unlink(change.FileName.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = SystemError("cannot delete", change.FileName);
        return false;
      }
      const int dir = ::open(FState->Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
      }
      continue;
    }
    TFileBufferPtr buffer = FState->Find(change.FileName);
    const std::string folder(ExtractFilePath(change.FileName));
    if (!SaveFileSafely(folder.empty() ? "." : folder.substr(0, folder.size() - 1), change.FileName,
                        buffer->Text, change.Kind == ckCreate, error)) {
      return false;
    }
    buffer->Created = false;
    buffer->Modified = false;
  }
  FState->Deletions.clear();
  return true;
}

int TFileHost::LiveInterfaces() const {
  return FState->Live;
}

TProjectLock::TProjectLock(const std::string& folder) {
  FDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (FDescriptor < 0) throw TError(SystemError("cannot open folder", folder));
  while (::flock(FDescriptor, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const std::string message = SystemError("cannot lock folder", folder);
    ::close(FDescriptor);
    throw TError(message);
  }
}

TProjectLock::~TProjectLock() {
  if (FDescriptor >= 0) ::close(FDescriptor);
}

}  // namespace scrivlock::hosts
