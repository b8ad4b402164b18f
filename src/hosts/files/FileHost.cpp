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
#include <memory>
#include <utility>
#include <vector>

#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/FileNames.h"
#include "hosts/NotifierList.h"

namespace scrivlock::hosts {

using namespace scrivlock::expert;
namespace fs = std::filesystem;

namespace {

std::string SystemError(const std::string& what, const std::string& fileName) {
  return what + " " + fileName + ": " + std::strerror(errno);
}

// A buffer's whole text, never changed in place: a writer that starts from it
// shares it instead of copying it.
using TText = std::shared_ptr<const std::string>;

// Reads up to `count` bytes at `offset` of `fd`; returns how many (fewer only
// at the end of the file), or -1 with errno set.
ssize_t ReadAt(int fd, char* buffer, size_t count, off_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, buffer + done, count - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

struct TFileBuffer {
  std::string FileName;
  TText Text;             // the whole buffer; null while the file holds it
  bool Created = false;   // made by CreateModuleEx, not on disk yet
  bool Modified = false;  // differs from the file
  bool WriterAlive = false;
  TSyntaxHighlighter Highlighter = shPascal;
};
using TFileBufferPtr = std::shared_ptr<TFileBuffer>;

std::string UnitIdentOf(std::string_view fileName) {
  std::string_view name = ExtractFileName(fileName);
  name.remove_suffix(ExtractFileExt(name).size());
  return std::string(name);
}

constexpr size_t kWritePiece = size_t{1} << 20;

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
    // In pieces of 1 MiB: measured on a 145 MB unit, one write of the whole
    // text took up to twice as long, the system finding fresh memory for its
    // cache less readily for one huge write than for many moderate ones.
    const ssize_t n = ::write(fd, text.data() + done, std::min(text.size() - done, kWritePiece));
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

// Serves the buffer's text while it is in memory, else reads the file, only as
// far as asked: a search reads 8092 bytes of each unit, not the whole unit.
class TFileReader : public TCounted<TIEditReader> {
 public:
  TFileReader(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  ~TFileReader() override {
    if (FDescriptor >= 0) ::close(FDescriptor);
  }
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (position < 0 || count <= 0) return 0;
    if (const TText& text = FBuffer->Text) {
      if (static_cast<size_t>(position) >= text->size()) return 0;
      const size_t n =
          std::min(text->size() - static_cast<size_t>(position), static_cast<size_t>(count));
      std::memcpy(buffer, text->data() + position, n);
      return static_cast<int32_t>(n);
    }
    if (!OpenFile()) throw TError(SystemError("cannot open", FBuffer->FileName));
    const ssize_t n = ReadAt(FDescriptor, buffer, static_cast<size_t>(count), position);
    if (n < 0) throw TError(SystemError("cannot read", FBuffer->FileName));
    return static_cast<int32_t>(n);
  }
  int64_t TextLength() override {
    if (const TText& text = FBuffer->Text) return static_cast<int64_t>(text->size());
    struct stat info {};
    if (!OpenFile() || ::fstat(FDescriptor, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
  }

 private:
  bool OpenFile() {
    if (FDescriptor < 0) FDescriptor = ::open(FBuffer->FileName.c_str(), O_RDONLY | O_CLOEXEC);
    return FDescriptor >= 0;
  }

  TFileBufferPtr FBuffer;
  int FDescriptor = -1;
};

// The text a writer starts from: the buffer's text, shared, or while the file
// holds it, the file, read only where the writer keeps original characters.
class TOriginalText {
 public:
  // False when the buffer's file cannot be opened.
  bool Open(const TFileBuffer& buffer) {
    FText = buffer.Text;
    if (FText) return true;
    FFileName = buffer.FileName;
    FDescriptor = ::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (FDescriptor < 0 || ::fstat(FDescriptor, &info) != 0) return false;
    FSize = static_cast<size_t>(info.st_size);
    return true;
  }
  ~TOriginalText() {
    if (FDescriptor >= 0) ::close(FDescriptor);
  }
  TOriginalText() = default;
  TOriginalText(TOriginalText&& other) noexcept
      : FText(std::move(other.FText)),
        FFileName(std::move(other.FFileName)),
        FDescriptor(std::exchange(other.FDescriptor, -1)),
        FSize(other.FSize) {}
  TOriginalText& operator=(TOriginalText&&) = delete;

  size_t Size() const { return FText ? FText->size() : FSize; }
  // Appends the original characters [from, to) to `out`; false when the file
  // no longer delivers them. REQUIRES: from <= to <= Size().
  bool AppendTo(std::string& out, size_t from, size_t to) const {
    if (from >= to) return true;
    if (FText) {
      out.append(*FText, from, to - from);
      return true;
    }
    const size_t at = out.size();
    out.resize(at + (to - from));
    if (ReadAt(FDescriptor, out.data() + at, to - from, static_cast<off_t>(from)) !=
        static_cast<ssize_t>(to - from)) {
      out.resize(at);
      return false;
    }
    return true;
  }
  // Whether `text` is the original text; compared chunk by chunk when the file
  // holds it. False also when the file cannot be read.
  bool Equals(std::string_view text) const {
    if (text.size() != Size()) return false;
    if (FText) return text == *FText;
    std::vector<char> chunk(65536);
    for (size_t at = 0; at < text.size(); at += chunk.size()) {
      const size_t n = std::min(chunk.size(), text.size() - at);
      if (ReadAt(FDescriptor, chunk.data(), n, static_cast<off_t>(at)) != static_cast<ssize_t>(n) ||
          std::memcmp(chunk.data(), text.data() + at, n) != 0) {
        return false;
      }
    }
    return true;
  }

 private:
  TText FText;
  std::string FFileName;
  int FDescriptor = -1;
  size_t FSize = 0;
};

// Positions as in EditIntf.h: those of the text the writer started from. The
// new text is built once, in FOutput, and moved into the buffer on release.
class TFileWriter : public TCounted<TIEditWriter> {
 public:
  TFileWriter(TState& state, TFileBufferPtr buffer, TOriginalText original)
      : TCounted(state), FBuffer(std::move(buffer)), FOriginal(std::move(original)) {
    FBuffer->WriterAlive = true;
  }
  ~TFileWriter() override {
    FBuffer->WriterAlive = false;
    // A writer whose original text could not be read changes nothing.
    try {
      if (FFailed || !FOriginal.AppendTo(FOutput, FCursor, FOriginal.Size())) return;
      if (FOriginal.Equals(FOutput)) return;
      FBuffer->Text = std::make_shared<const std::string>(std::move(FOutput));
      FBuffer->Modified = true;
    } catch (...) {
    }
  }
  bool Insert(const char* text) override {
    if (FFailed) return false;
    FOutput.append(text);
    return true;
  }
  bool CopyTo(int32_t position) override { return Advance(position, true); }
  bool DeleteTo(int32_t position) override { return Advance(position, false); }
  int32_t CurrentPos() override { return static_cast<int32_t>(FCursor); }

 private:
  bool Advance(int32_t position, bool keep) {
    if (FFailed) return false;
    if (position < 0 || static_cast<size_t>(position) < FCursor) return true;
    const size_t stop = std::min(static_cast<size_t>(position) + 1, FOriginal.Size());
    if (stop > FCursor) {
      if (keep && !FOriginal.AppendTo(FOutput, FCursor, stop)) {
        FFailed = true;
        return false;
      }
      FCursor = stop;
    }
    return true;
  }

  TFileBufferPtr FBuffer;
  TOriginalText FOriginal;
  std::string FOutput;
  size_t FCursor = 0;
  bool FFailed = false;
};

class TFileEditor : public TCounted<TIEditorInterface> {
 public:
  TFileEditor(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override { return new TFileReader(FState, FBuffer); }
  TIEditWriter* CreateWriter() override {
    TOriginalText original;
    if (FBuffer->WriterAlive || !original.Open(*FBuffer)) return nullptr;
    return new TFileWriter(FState, FBuffer, std::move(original));
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
    FBuffer->Text.reset();
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
    buffer->Modified = true;
    std::string text;
    if (source) {
      text = source->View();
    } else if (has(cmNewUnit)) {
      text = "unit " + UnitIdentOf(fileName) +
             ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
    }
    buffer->Text = std::make_shared<const std::string>(std::move(text));
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
    return AddNotifierTo(FState.AddIns, notifier);
  }
  bool RemoveNotifier(TIAddInNotifier* notifier) override {
    return RemoveNotifierFrom(FState.AddIns, notifier);
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
  const std::vector<TChange> changes = PendingChanges();
  for (const TChange& change : changes) {
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
    // A created or modified buffer holds its text; the empty one is a guard.
    static const std::string kNoText;
    const std::string& text = buffer->Text ? *buffer->Text : kNoText;
    const std::string folder(ExtractFilePath(change.FileName));
    if (!SaveFileSafely(folder.empty() ? "." : folder.substr(0, folder.size() - 1), change.FileName,
                        text, change.Kind == ckCreate, error)) {
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
