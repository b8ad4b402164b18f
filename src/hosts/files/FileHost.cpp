#include "hosts/files/FileHost.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/FileNames.h"
#include "hosts/common/GuardedCall.h"
#include "hosts/common/LazarusProject.h"
#include "hosts/common/NewModule.h"
#include "hosts/common/NotifierList.h"
#include "hosts/common/UnitNames.h"
#include "hosts/common/WriterCursor.h"

namespace scrivlock::hosts {

using namespace scrivlock::hostintf;
namespace fs = std::filesystem;

namespace {

std::string SystemError(const std::string& what, const std::string& fileName) {
  return what + " " + fileName + ": " + std::strerror(errno);
}

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

// Writes all `count` bytes; false with errno set when the system takes fewer.
bool WriteAll(int fd, const char* data, size_t count) {
  // In pieces of 64 KiB: the system caches a write in blocks as large as the
  // write, and large blocks of fresh memory come slowly. Measured on a 145 MB
  // text after a few idle seconds: 40 ms in pieces of 64 KiB, 180 ms in pieces
  // of 128 KiB, 130 ms in pieces of 1 MiB, 70 ms in pieces of 16 KiB.
  constexpr size_t kPiece = size_t{64} << 10;
  while (count > 0) {
    const ssize_t n = ::write(fd, data, std::min(count, kPiece));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// False with errno set when the folder cannot be opened or flushed: then a
// rename into it may not survive a crash, and nothing that relies on it may
// follow.
bool FlushFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool flushed = ::fsync(dir) == 0;
  const int saved = errno;
  ::close(dir);
  errno = saved;
  return flushed;
}

// Opens `fileName` for reading only if it is a regular file (or a link to
// one): a FIFO or a device would block in open() or read(), a folder reads
// nothing. -1 with errno set (EINVAL for a file that is not regular) otherwise.
int OpenRegularFile(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Opens `fileName` for reads only, without blocking and without asking what
// it is: where reads alone follow, they tell (a FIFO gives ESPIPE, a folder
// EISDIR), and a unit's first chunk then costs a call fewer. -1 with errno.
int OpenForReading(const std::string& fileName) {
  return ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

std::string FolderOf(const std::string& fileName) {
  const std::string folder(ExtractFilePath(fileName));
  return folder.empty() ? "." : folder.substr(0, folder.size() - 1);
}

// Starts the transfer of a file's bytes to the disk as they are written, on a
// thread of its own: a big text is then mostly on the disk by the time Commit
// waits for it, and the writer never waits for the disk (starting a transfer
// waits whenever the disk's queue is full). Where no thread can be had, the
// transfer starts when the draft is finished, as for a small text.
class TWriteback {
 public:
  explicit TWriteback(int fd) : FDescriptor(fd) {}
  // Waits for a transfer being started; the descriptor may be closed then.
  ~TWriteback() {
    {
      const std::lock_guard<std::mutex> lock(FLock);
      FStopping = true;
    }
    FWake.notify_one();
    if (FThread.joinable()) FThread.join();
  }
  TWriteback(const TWriteback&) = delete;
  TWriteback& operator=(const TWriteback&) = delete;

  // The file's bytes before `end` are written: their transfer may start.
  // `last`: no more come, so the rest starts now too. False when the thread
  // does not start it: a small file, which has none, or no thread to be had.
  bool Written(size_t end, bool last = false) {
    if (last && !FThread.joinable()) return false;
    if (end - FPosted < (last ? 1 : kStep)) return true;
    FPosted = end;
    {
      const std::lock_guard<std::mutex> lock(FLock);
      FEnd = end;
    }
    if (!FThread.joinable() && !FNoThread) {
      try {
        FThread = std::thread([this] { Run(); });
      } catch (const std::system_error&) {
        FNoThread = true;
      }
    }
    FWake.notify_one();
    return !FNoThread;
  }

 private:
  static constexpr size_t kStep = size_t{8} << 20;

  void Run() {
    size_t started = 0;
    for (;;) {
      size_t end;
      {
        std::unique_lock<std::mutex> lock(FLock);
        FWake.wait(lock, [&] { return FStopping || FEnd > started; });
        if (FStopping) return;
        end = FEnd;
      }
#ifdef SYNC_FILE_RANGE_WRITE
      ::sync_file_range(FDescriptor, static_cast<off_t>(started), static_cast<off_t>(end - started),
                        SYNC_FILE_RANGE_WRITE);
#endif
      started = end;
    }
  }

  const int FDescriptor;
  size_t FPosted = 0;  // the writer's side: the last end passed on
  bool FNoThread = false;
  std::mutex FLock;
  std::condition_variable FWake;
  size_t FEnd = 0;  // guarded by FLock
  bool FStopping = false;
  std::thread FThread;
};

// A text a command made for a file, kept in a temporary file in the file's
// folder until Commit puts it in place. So a text goes to the disk once, while
// it is made, and a big one costs no memory. Where the system allows, the
// temporary file has no name until Commit: a process that dies leaves nothing
// behind. Written once, by one writer, then only read.
class TDraft {
 public:
  TDraft(const TDraft&) = delete;
  TDraft& operator=(const TDraft&) = delete;
  ~TDraft() {
    FWriteback.reset();  // before the descriptor goes
    if (FDescriptor >= 0) ::close(FDescriptor);
    if (!FTempName.empty()) ::unlink(FTempName.c_str());
  }

  // A new, empty draft for `fileName`; null with `error` set when the folder
  // takes no file.
  static std::unique_ptr<TDraft> Open(const std::string& fileName, TFileHost::TDrafts kind,
                                      std::string& error) {
    std::unique_ptr<TDraft> draft(new TDraft(fileName));
    if (kind == TFileHost::dsMemory) {
      draft->FDescriptor = ::memfd_create("scrivlock-draft", MFD_CLOEXEC);
      if (draft->FDescriptor < 0) {
        error = SystemError("cannot make a draft of", fileName);
        return nullptr;
      }
      draft->FInMemory = true;
      return draft;
    }
    const std::string folder = FolderOf(fileName);
#ifdef O_TMPFILE
    if (kind == TFileHost::dsUnnamed) {
      draft->FDescriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
      // Commit names the file through /proc; without it, a named file is used.
      if (draft->FDescriptor >= 0 && ::access(draft->ProcName().c_str(), F_OK) != 0) {
        ::close(draft->FDescriptor);
        draft->FDescriptor = -1;
      }
    }
#endif
    if (draft->FDescriptor < 0) {
      static int serial = 0;
      const std::string temp = TempNameFor(fileName, ++serial);
      draft->FDescriptor = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (draft->FDescriptor < 0) {
        error = SystemError("cannot create", temp);
        return nullptr;
      }
      draft->FTempName = temp;
    }
    draft->FWriteback = std::make_unique<TWriteback>(draft->FDescriptor);
    return draft;
  }

  int Descriptor() const {
    return FDescriptor;
  }
  size_t Size() const {
    return FSize;
  }

  // Appends `count` bytes; false with `error` set when they cannot be written.
  bool Append(const char* data, size_t count, std::string& error) {
    if (count < kPendingLimit) {
      if (FPending.size() + count > kPendingLimit && !Flush(error)) return false;
      FPending.append(data, count);
      FSize += count;
      return true;
    }
    if (!Flush(error)) return false;
    if (!WriteAll(FDescriptor, data, count)) return Fail("cannot write the new text of", error);
    FSize += count;
    StartWriteback();
    return true;
  }
  // Appends bytes [from, from + count) of the file `fd`; false when the file
  // no longer holds them (`error` then stays empty) or they cannot be written.
  bool AppendFrom(int fd, size_t from, size_t count, std::string& error) {
    if (count == 0) return true;
    if (count < kPendingLimit) {
      std::vector<char> bytes(count);
      if (ReadAt(fd, bytes.data(), count, static_cast<off_t>(from)) !=
          static_cast<ssize_t>(count)) {
        return false;
      }
      return Append(bytes.data(), count, error);
    }
    if (!Flush(error)) return false;
    // Within the system, without passing through this process's memory.
    auto at = static_cast<off_t>(from);
    size_t left = count;
    while (left > 0) {
      const ssize_t n = ::copy_file_range(fd, &at, FDescriptor, nullptr, left, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        break;  // not between these files: the rest is copied below through memory
      }
      if (n < 0) return Fail("cannot write the new text of", error);
      if (n == 0) return false;
      left -= static_cast<size_t>(n);
    }
    std::vector<char> piece(std::min(left, size_t{1} << 20));
    while (left > 0) {
      const size_t n = std::min(left, piece.size());
      if (ReadAt(fd, piece.data(), n, at) != static_cast<ssize_t>(n)) return false;
      if (!WriteAll(FDescriptor, piece.data(), n))
        return Fail("cannot write the new text of", error);
      at += static_cast<off_t>(n);
      left -= n;
    }
    FSize += count;
    StartWriteback();
    return true;
  }
  // Writes what is still pending and starts the transfer to the disk, which
  // then runs while the command goes on; Commit waits for what remains.
  bool Finish(std::string& error) {
    if (!Flush(error)) return false;
#ifdef SYNC_FILE_RANGE_WRITE
    if (!FWriteback || !FWriteback->Written(FSize, true)) {
      ::sync_file_range(FDescriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#endif
    return true;
  }

  // Whether the draft holds the `size` bytes of the file `fd`. False also when
  // either cannot be read.
  bool Holds(int fd, size_t size) const {
    if (size != FSize) return false;
    constexpr size_t kChunk = 65536;
    std::vector<char> mine(kChunk), theirs(kChunk);
    for (size_t at = 0; at < size; at += kChunk) {
      const size_t n = std::min(kChunk, size - at);
      const auto offset = static_cast<off_t>(at);
      if (ReadAt(FDescriptor, mine.data(), n, offset) != static_cast<ssize_t>(n) ||
          ReadAt(fd, theirs.data(), n, offset) != static_cast<ssize_t>(n) ||
          std::memcmp(mine.data(), theirs.data(), n) != 0) {
        return false;
      }
    }
    return true;
  }

  // Makes the draft the file: flushed to disk, then given the file's name (a
  // new file never replaces one that appeared meanwhile; a rewritten one, with
  // the old one's permissions, replaces it at once), then the folder flushed.
  bool Place(bool isNew, std::string& error) {
    if (FInMemory) {
      error = "a dry run writes nothing: " + FFileName;
      return false;
    }
    if (!isNew) {
      struct stat old {};
      if (::stat(FFileName.c_str(), &old) == 0) {
        // Owner and group first: a change of owner clears the set-id bits.
        // The system lets only some processes give a file away; where it does
        // not, the group alone may still be kept.
        if (::fchown(FDescriptor, old.st_uid, old.st_gid) != 0)
          (void)::fchown(FDescriptor, static_cast<uid_t>(-1), old.st_gid);
        ::fchmod(FDescriptor, old.st_mode & 07777);
      }
    }
    if (::fsync(FDescriptor) != 0) return Fail("cannot flush the new text of", error);
    if (isNew) {
      // Linking fails when the name is taken.
      if (!LinkTo(FFileName)) {
        error = SystemError("cannot create", FFileName);
        return false;
      }
    } else {
      if (FTempName.empty()) {
        const std::string temp = TempNameFor(FFileName, 0);
        ::unlink(temp.c_str());  // left by a process of the same number that died
        if (!LinkTo(temp)) {
          error = SystemError("cannot create", temp);
          return false;
        }
        FTempName = temp;
      }
      if (::rename(FTempName.c_str(), FFileName.c_str()) != 0) {
        error = SystemError("cannot replace", FFileName);
        return false;
      }
      FTempName.clear();
    }
    if (!FlushFolder(FolderOf(FFileName))) {
      error = SystemError("cannot flush the folder of", FFileName);
      return false;
    }
    return true;
  }

 private:
  static constexpr size_t kPendingLimit = 65536;

  explicit TDraft(std::string fileName) : FFileName(std::move(fileName)) {}

  static std::string TempNameFor(const std::string& fileName, int serial) {
    std::string name = FolderOf(fileName) + "/." + std::string(ExtractFileName(fileName)) +
                       ".scrivlock-" + std::to_string(getpid());
    if (serial) {
      name += '-';
      name += std::to_string(serial);
    }
    return name + ".tmp";
  }
  std::string ProcName() const {
    return "/proc/self/fd/" + std::to_string(FDescriptor);
  }
  bool LinkTo(const std::string& name) const {
    if (!FTempName.empty()) return ::link(FTempName.c_str(), name.c_str()) == 0;
    return ::linkat(AT_FDCWD, ProcName().c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  }

  bool Flush(std::string& error) {
    if (FPending.empty()) return true;
    if (!WriteAll(FDescriptor, FPending.data(), FPending.size())) {
      return Fail("cannot write the new text of", error);
    }
    FPending.clear();
    StartWriteback();
    return true;
  }
  void StartWriteback() {
    if (FWriteback) FWriteback->Written(FSize - FPending.size());
  }
  bool Fail(const char* what, std::string& error) const {
    error = SystemError(what, FFileName);
    return false;
  }

  std::string FFileName;
  std::string FTempName;  // the draft's name; empty while it has none
  int FDescriptor = -1;
  bool FInMemory = false;                  // a dry run's: never placed
  std::unique_ptr<TWriteback> FWriteback;  // none for a dry run's
  size_t FSize = 0;
  std::string FPending;  // small appends, written together
};
using TDraftPtr = std::shared_ptr<TDraft>;

struct TFileBuffer {
  std::string FileName;
  TDraftPtr Text;         // the buffer's text; null while the file holds it
  bool Created = false;   // made by CreateModuleEx, not on disk yet
  bool Modified = false;  // differs from the file
  bool WriterAlive = false;
  TSyntaxHighlighter Highlighter = shPascal;
};
using TFileBufferPtr = std::shared_ptr<TFileBuffer>;

}  // namespace

struct TFileHost::TState {
  std::string Folder;
  TDrafts Drafts = dsUnnamed;
  // By full name exactly: on a file system where letter case matters,
  // A.pas and a.pas are two files.
  std::map<std::string, TFileBufferPtr> Buffers;
  std::vector<TFileBufferPtr> Units;  // listed unit files, then created ones
  std::vector<TSkipped> Skipped;      // unit names that are no regular file
  std::vector<std::string> Claimed;   // names taken by earlier steps of a dry run
  std::vector<std::string> Deletions;
  std::vector<TIAddInNotifier*> AddIns;
  std::unique_ptr<TIToolServices, void (*)(TIToolServices*)> Services{nullptr, nullptr};
  std::string WriteError;  // the first failure to write a draft
  int Live = 0;
  std::map<std::string, std::string> ProjectOptions;

  // The buffer of exactly that name; failing that, the one name that matches
  // it regardless of letter case (as a user may type it).
  TFileBufferPtr Find(const std::string& fileName) const {
    if (auto it = Buffers.find(fileName); it != Buffers.end()) return it->second;
    if (ExistsOnDisk(fileName)) return nullptr;  // a file of its own
    return FindAnyCase(fileName);
  }
  TFileBufferPtr FindAnyCase(std::string_view fileName) const {
    for (const auto& [name, buffer] : Buffers) {
      if (SameText(name, fileName)) return buffer;
    }
    return nullptr;
  }
  TFileBufferPtr Add(const std::string& fileName) {
    auto buffer = std::make_shared<TFileBuffer>();
    buffer->FileName = fileName;
    Buffers[fileName] = buffer;
    return buffer;
  }
  // In any letter case: a new unit's name must not clash with one that only
  // differs in case, where the file system ignores case or the user does.
  bool Taken(const std::string& fileName) const {
    return FindAnyCase(fileName) || ExistsOnDisk(fileName) ||
           std::any_of(Claimed.begin(), Claimed.end(),
                       [&](const std::string& name) { return SameText(name, fileName); });
  }
  void Failed(const std::string& error) {
    if (WriteError.empty()) WriteError = error;
  }
  TDraftPtr OpenDraft(const std::string& fileName) {
    std::string error;
    std::unique_ptr<TDraft> draft = TDraft::Open(fileName, Drafts, error);
    if (!draft) Failed(error);
    return draft;
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

// Serves the buffer's text from its draft while it has one, else from the
// file, only as far as asked: a search reads 8092 bytes of each unit, not the
// whole unit.
class TFileReader : public TCounted<TIEditReader> {
 public:
  TFileReader(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  ~TFileReader() override {
    if (FDescriptor >= 0) ::close(FDescriptor);
  }
  int32_t GetText(int32_t position, char* buffer, int32_t count) override {
    if (position < 0 || count <= 0) return 0;
    int fd = -1;
    const TDraftPtr& draft = FBuffer->Text;
    if (draft) {
      fd = draft->Descriptor();
    } else if (OpenFile()) {
      fd = FDescriptor;
    } else {
      throw TError(SystemError("cannot open", FBuffer->FileName));
    }
    if (draft != FAheadDraft) FAheadSize = 0;  // the text was replaced since
    const auto from = static_cast<size_t>(position);
    const auto wanted = static_cast<size_t>(count);
    const bool sequential = from == FNext;
    FNext = std::numeric_limits<size_t>::max();
    if (sequential && wanted <= kAhead &&
        (from < FAheadStart || from >= FAheadStart + FAheadSize)) {
      // Reading on from where the last read ended: a whole text is being read,
      // and one call to the system serves many reads.
      if (!FAhead) FAhead = std::make_unique<char[]>(kAhead);
      const ssize_t n = ReadAt(fd, FAhead.get(), kAhead, static_cast<off_t>(from));
      if (n < 0) throw TError(SystemError("cannot read", FBuffer->FileName));
      FAheadStart = from;
      FAheadSize = static_cast<size_t>(n);
      FAheadDraft = draft;
    }
    size_t delivered;
    if (from >= FAheadStart && from < FAheadStart + FAheadSize &&
        (from + wanted <= FAheadStart + FAheadSize || FAheadSize < kAhead)) {
      // Within what was read ahead, or up to the end of the text that it reached.
      delivered = std::min(wanted, FAheadStart + FAheadSize - from);
      std::memcpy(buffer, FAhead.get() + (from - FAheadStart), delivered);
    } else {
      const ssize_t n = ReadAt(fd, buffer, wanted, static_cast<off_t>(from));
      if (n < 0) throw TError(SystemError("cannot read", FBuffer->FileName));
      delivered = static_cast<size_t>(n);
    }
    FNext = from + delivered;
    return static_cast<int32_t>(delivered);
  }
  int64_t TextLength() override {
    if (const TDraftPtr& draft = FBuffer->Text) return static_cast<int64_t>(draft->Size());
    struct stat info {};
    if (!OpenFile() || ::fstat(FDescriptor, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
  }

 private:
  // Reads tell a file that is not regular (ReadAt fails), and TextLength asks.
  bool OpenFile() {
    if (FDescriptor < 0) FDescriptor = OpenForReading(FBuffer->FileName);
    return FDescriptor >= 0;
  }

  static constexpr size_t kAhead = 256 * 1024;

  TFileBufferPtr FBuffer;
  int FDescriptor = -1;
  // What was read ahead: the bytes from FAheadStart of the text FAheadDraft
  // held (null: the file; held, so that no other draft takes its place in
  // memory), and where the last read ended.
  std::unique_ptr<char[]> FAhead;
  size_t FAheadStart = 0;
  size_t FAheadSize = 0;
  TDraftPtr FAheadDraft;
  size_t FNext = std::numeric_limits<size_t>::max();
};

// The text a writer starts from: the buffer's draft, shared, or while the file
// holds the text, the file.
class TOriginalText {
 public:
  // False when the buffer's file cannot be opened.
  bool Open(const TFileBuffer& buffer) {
    FDraft = buffer.Text;
    if (FDraft) {
      FSize = FDraft->Size();
      return true;
    }
    FDescriptor = OpenRegularFile(buffer.FileName);
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
      : FDraft(std::move(other.FDraft)),
        FDescriptor(std::exchange(other.FDescriptor, -1)),
        FSize(other.FSize) {}
  TOriginalText& operator=(TOriginalText&&) = delete;

  size_t Size() const { return FSize; }
  int Descriptor() const { return FDraft ? FDraft->Descriptor() : FDescriptor; }

 private:
  TDraftPtr FDraft;
  int FDescriptor = -1;
  size_t FSize = 0;
};

// Positions as in EditIntf.h (worked out by TWriterCursor): those of the text
// the writer started from. The new text goes straight into a draft, which
// becomes the buffer's text when the writer is released.
class TFileWriter : public TCounted<TIEditWriter>, private TWriterSink {
 public:
  TFileWriter(TState& state, TFileBufferPtr buffer, TOriginalText original, TDraftPtr draft)
      : TCounted(state),
        FBuffer(std::move(buffer)),
        FOriginal(std::move(original)),
        FDraft(std::move(draft)),
        FCursor(FOriginal.Size(), *this) {
    FBuffer->WriterAlive = true;
  }
  ~TFileWriter() override {
    FBuffer->WriterAlive = false;
    // A writer whose original text could not be read, or whose text could not
    // be written, changes nothing.
    try {
      if (!FCursor.Finish()) return;
      std::string error;
      if (!FDraft->Finish(error)) {
        FState.Failed(error);
        return;
      }
      if (FDraft->Holds(FOriginal.Descriptor(), FOriginal.Size())) return;
      FBuffer->Text = std::move(FDraft);
      FBuffer->Modified = true;
    } catch (...) {
    }
  }
  bool Insert(const char* text) override { return FCursor.Insert(text); }
  bool CopyTo(int32_t position) override { return FCursor.CopyTo(position); }
  bool DeleteTo(int32_t position) override { return FCursor.DeleteTo(position); }
  int32_t CurrentPos() override { return FCursor.CurrentPos(); }

 private:
  // TWriterSink: a failure fails the writer for good (TWriterCursor).
  bool Append(const char* data, size_t count) override {
    std::string error;
    return FDraft->Append(data, count, error) || Fail(error);
  }
  bool Keep(size_t from, size_t to) override {
    std::string error;
    return FDraft->AppendFrom(FOriginal.Descriptor(), from, to - from, error) || Fail(error);
  }
  bool Fail(const std::string& error) {
    if (!error.empty()) FState.Failed(error);
    return false;
  }

  TFileBufferPtr FBuffer;
  TOriginalText FOriginal;
  TDraftPtr FDraft;
  TWriterCursor FCursor;
};

class TFileEditor : public TCounted<TIEditorInterface> {
 public:
  TFileEditor(TState& state, TFileBufferPtr buffer) : TCounted(state), FBuffer(std::move(buffer)) {}
  TIEditReader* CreateReader() override { return new TFileReader(FState, FBuffer); }
  TIEditWriter* CreateWriter() override {
    if (FBuffer->WriterAlive) return nullptr;
    TOriginalText original;
    if (!original.Open(*FBuffer)) return nullptr;
    // Beside the file itself, where it is a link's target: the draft replaces
    // the target and the link stays.
    TDraftPtr draft = FState.OpenDraft(TFileHost::TargetOf(FBuffer->FileName));
    if (!draft) return nullptr;
    return new TFileWriter(FState, FBuffer, std::move(original), std::move(draft));
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
  std::string GetProjectOption(const std::string& fileName, const std::string& name) override {
    // The Lazarus project beside the unit says how its units compile.
    if (name == hostintf::kOptionProjectMode)
      return FolderSyntaxMode(std::string(ExtractFilePath(fileName)));
    const auto option = FState.ProjectOptions.find(name);
    return option != FState.ProjectOptions.end() ? option->second : std::string();
  }

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
    NextFreeModuleName(
        FState.Folder + "/", [&](const std::string& name) { return FState.Taken(name); }, unitIdent,
        fileName);
    return true;
  }
  TIModuleInterface* CreateModuleEx(const std::string& moduleName, const std::string& /*formName*/,
                                    const std::string& /*ancestorClass*/,
                                    const std::string& /*fileSystem*/, const TByteStream* source,
                                    const TByteStream* /*form*/,
                                    TCreateModuleFlags createFlags) override {
    std::string ident, fileName;
    if (!moduleName.empty()) {
      fileName = TFileHost::FullFileName(moduleName);
    } else if (!HasCreateFlag(createFlags, cmUnNamed) || !GetNewModuleName(ident, fileName)) {
      return nullptr;
    }
    if (FState.Taken(fileName)) return nullptr;
    const std::string text = NewModuleText(source, createFlags, fileName);
    TDraftPtr draft = FState.OpenDraft(fileName);
    std::string error;
    if (!draft) return nullptr;
    if (!draft->Append(text.data(), text.size(), error) || !draft->Finish(error)) {
      FState.Failed(error);
      return nullptr;
    }
    TFileBufferPtr buffer = FState.Add(fileName);
    buffer->Created = true;
    buffer->Modified = true;
    buffer->Text = std::move(draft);
    auto* module = new TFileModule(FState, buffer);
    if (HasCreateFlag(createFlags, cmAddToProject)) {
      FState.Units.push_back(buffer);
      NotifyFile(FState.AddIns, fnAddedToProject, fileName, &ReportEscape);
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
  // What a plug-in lets out goes where RaiseException's messages go.
  static void ReportEscape(const TEscape& escape) {
    std::fprintf(stderr, "%s\n", escape.Sentence().c_str());
  }

 protected:
  void Destroy() override {}  // the host owns it

 private:
  TState& FState;
};

}  // namespace

std::string TFileHost::TargetOf(const std::string& fileName) {
  char* real = ::realpath(fileName.c_str(), nullptr);
  if (!real) return fileName;
  std::string target(real);
  std::free(real);
  return target;
}

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

namespace {

// What a unit name stands for when it is no regular file.
const char* KindOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return "a folder";
  if (S_ISFIFO(info.st_mode)) return "a FIFO";
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device";
  if (S_ISSOCK(info.st_mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

TFileHost::TFileHost(const std::string& projectPath, TDrafts drafts)
    : FState(std::make_unique<TState>()) {
  FState->Folder = ProjectFolderOf(projectPath);
  FState->Drafts = drafts;
  FState->Services = {new TFileServices(*FState), &TFileServices::Free};
  DIR* dir = ::opendir(FState->Folder.c_str());
  if (!dir) throw TError(SystemError("cannot read folder", FState->Folder));
  // The listing names each file's type where the file system keeps it: a
  // regular file needs no look of its own, which in a folder of ten thousand
  // units is a good part of a status.
  std::vector<std::pair<std::string, bool>> names;  // name, known to be a regular file
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.empty() || name.front() == '.' || !IsUnitFileName(name)) continue;
    names.emplace_back(name, entry->d_type == DT_REG);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const auto& [name, regular] : names) {
    const std::string fileName = FState->Folder + "/" + name;
    // Looked at without opening it: opening a FIFO or a device can block.
    struct stat info {};
    if (regular) {
      FState->Units.push_back(FState->Add(fileName));
    } else if (::stat(fileName.c_str(), &info) != 0) {
      FState->Skipped.push_back({fileName, ::lstat(fileName.c_str(), &info) == 0
                                               ? "a link to nothing"
                                               : std::strerror(errno)});
    } else if (!S_ISREG(info.st_mode)) {
      FState->Skipped.push_back({fileName, KindOf(info)});
    } else {
      FState->Units.push_back(FState->Add(fileName));
    }
  }
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

void TFileHost::SetProjectOption(const std::string& name, std::string value) {
  FState->ProjectOptions[name] = std::move(value);
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
      if (!FlushFolder(FolderOf(change.FileName))) {
        if (error) *error = SystemError("cannot flush the folder of", change.FileName);
        return false;
      }
      continue;
    }
    TFileBufferPtr buffer = FState->Find(change.FileName);
    // A created or modified buffer holds its text in a draft.
    std::string failure;
    if (!buffer->Text->Place(change.Kind == ckCreate, failure)) {
      if (error) *error = failure;
      return false;
    }
    // The file holds the text now.
    buffer->Text.reset();
    buffer->Created = false;
    buffer->Modified = false;
  }
  FState->Deletions.clear();
  return true;
}

const std::string& TFileHost::WriteError() const {
  return FState->WriteError;
}

int TFileHost::LiveInterfaces() const {
  return FState->Live;
}

const std::vector<TFileHost::TSkipped>& TFileHost::SkippedFiles() const {
  return FState->Skipped;
}

void TFileHost::ClaimName(const std::string& fileName) {
  FState->Claimed.push_back(fileName);
}

namespace {

// The process number in a draft's name (TDraft::TempNameFor):
// ".<file>.scrivlock-<pid>[-<serial>].tmp"; 0 when `name` is none.
pid_t DraftOwner(std::string_view name) {
  static constexpr std::string_view kMark = ".scrivlock-", kEnd = ".tmp";
  if (name.size() < 2 || name.front() != '.' || name.size() < kEnd.size() ||
      name.substr(name.size() - kEnd.size()) != kEnd) {
    return 0;
  }
  const size_t mark = name.rfind(kMark);
  if (mark == std::string_view::npos || mark == 0) return 0;
  std::string_view rest = name.substr(mark + kMark.size());
  rest.remove_suffix(kEnd.size());
  const std::string_view pid = rest.substr(0, rest.find('-'));
  const std::string_view serial =
      pid.size() < rest.size() ? rest.substr(pid.size() + 1) : std::string_view("0");
  auto allDigits = [](std::string_view digits) {
    return !digits.empty() && digits.size() <= 9 &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!allDigits(pid) || !allDigits(serial)) return 0;
  return static_cast<pid_t>(std::stol(std::string(pid)));
}

}  // namespace

std::vector<std::string> TFileHost::RemoveLeftovers(const std::string& folder) {
  std::vector<std::string> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return removed;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = DraftOwner(entry->d_name);
    // Only a process that is gone: a live one may be writing it now.
    if (owner > 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH)
      names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    const std::string fileName = folder + "/" + name;
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::unlink(fileName.c_str()) == 0) {
      removed.push_back(fileName);
    }
  }
  return removed;
}

TFolderLock::TFolderLock(const std::string& folder, double timeoutSeconds,
                         const std::function<void()>& onWait) {
  FDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (FDescriptor < 0) throw TError(SystemError("cannot open folder", folder));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  bool waiting = false;
  while (::flock(FDescriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      const std::string message = SystemError("cannot lock folder", folder);
      ::close(FDescriptor);
      throw TError(message);
    }
    if (!waiting && onWait) onWait();
    waiting = true;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(FDescriptor);
      throw TLockTimeout(folder);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TLockTimeout::TLockTimeout(const std::string& folder)
    : TError("gave up waiting for folder " + folder + ": another process still holds its lock"),
      Folder(folder) {}

TFolderLock::~TFolderLock() {
  if (FDescriptor >= 0) ::close(FDescriptor);
}

}  // namespace scrivlock::hosts
