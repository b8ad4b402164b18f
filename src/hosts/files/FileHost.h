// TFileHost: a host over a folder of files, behind the scrivlock command-line
// tool. The project is a folder (given as the folder, or as a .dpr or .lpr file
// in it); its units are the folder's unit files (".pas" and ".pp" in any letter
// case, see IsUnitFileName) that are regular files or links to one; a unit name
// that stands for a folder, a FIFO or a device is skipped, never opened (an
// open could block). A buffer is a file's bytes, read only as far as a reader
// asks for them. Names are the file system's: A.pas and a.pas are two files,
// and a name that matches no file exactly finds one that differs in letter
// case only. No file changes while a command runs: the text a writer makes
// goes straight into a draft, a temporary file in the folder of the file it
// replaces (without a name where the system allows it, so that a process that
// dies leaves nothing behind), and Commit puts the drafts in place, safely:
//
//   - every draft is flushed to disk, then renamed over the old file (a new
//     file never replaces one that appeared meanwhile), and the folder is
//     flushed; a folder that cannot be flushed fails the Commit there;
//   - a rewritten file keeps its mode bits, and its owner and group where the
//     process may give them; a symbolic link stays a link, and its target is
//     rewritten;
//   - new files first, rewritten files next, deletions last: the commenting
//     module is on disk before its unit loses its comments (Uncomment), and the
//     restored unit is on disk before the module's file goes (Re-Comment).
// So a crash or a full disk at any point leaves every comment in some file.
// A draft that cannot be written (a full disk, a folder that takes no file)
// fails the writer, which then changes nothing, and WriteError tells why.
//
// New units are named as an IDE names them: the first UnitN.pas (N = 1, 2, ...)
// not taken in the folder, in any letter case; its unit identifier is UnitN.
//
// TFolderLock keeps two processes from writing in one folder at once.
// Not thread-safe; one command at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "hostintf/ToolIntf.h"

namespace scrivlock::hosts {

class TFileHost {
 public:
  enum TChangeKind { ckCreate, ckRewrite, ckDelete };
  struct TChange {
    TChangeKind Kind;
    std::string FileName;
  };

  // `projectPath`: a folder, or a file (.dpr, .lpr, .pas) whose folder is the
  // project. The folder is listed at once. Throws TError when it is not a
  // readable folder.
  // Where drafts are kept: in unnamed files where the system allows it, else
  // in named ones; or always in named ones; or in memory only, for a dry run
  // that must write nothing (such drafts are never committed).
  enum TDrafts { dsUnnamed, dsNamed, dsMemory };
  explicit TFileHost(const std::string& projectPath, TDrafts drafts = dsUnnamed);
  ~TFileHost();
  TFileHost(const TFileHost&) = delete;
  TFileHost& operator=(const TFileHost&) = delete;

  // The folder of `path`: the path itself when it is a folder, else its
  // parent; absolute and normalised.
  static std::string ProjectFolderOf(const std::string& path);
  // `path` made absolute and normalised, the way this host names files.
  static std::string FullFileName(const std::string& path);
  // The file a name stands for: a symbolic link's target (so that it, not the
  // link, is replaced), else the name itself.
  static std::string TargetOf(const std::string& fileName);

  // Owned by the host; do not Release it.
  hostintf::TIToolServices* ToolServices();
  // The project folder, absolute, without a trailing separator.
  const std::string& Folder() const;
  // The project's unit files, full names, sorted by name; new units created
  // by a command come last.
  std::vector<std::string> UnitFiles() const;
  // The folder's unit names that are no regular file, sorted by name, with
  // what each is ("a folder", "a FIFO", "a device", ...).
  struct TSkipped {
    std::string FileName;
    std::string Kind;
  };
  const std::vector<TSkipped>& SkippedFiles() const;

  // Takes `fileName` for a new unit's name, as if it existed: a dry run over
  // several units names their modules in sequence.
  void ClaimName(const std::string& fileName);

  // Removes the temporary files that runs of this tool left in `folder` when
  // they died (their names carry the process number; only those of processes
  // that no longer exist go). Returns their full names.
  static std::vector<std::string> RemoveLeftovers(const std::string& folder);

  // Deletion of a file at Commit, after every write.
  void ScheduleDelete(const std::string& fileName);
  // What the services' GetProjectOption answers for `name` (hostintf's
  // kOption...); the project mode comes from a Lazarus project beside the unit.
  void SetProjectOption(const std::string& name, std::string value);
  // What Commit would do, in its order.
  std::vector<TChange> PendingChanges() const;
  // Saves the pending changes in the order above and forgets them. On the
  // first failure stops and returns false with `error` naming the file and the
  // reason; what was saved before stays saved, the rest stays pending, and its
  // temporary files go with the host.
  bool Commit(std::string* error);

  // The first failure to write a draft, naming the file and the reason; empty
  // when there was none.
  const std::string& WriteError() const;

  // Interface objects handed out and not yet released.
  int LiveInterfaces() const;

  struct TState;

 private:
  std::unique_ptr<TState> FState;
};

// Gave up waiting for a folder's lock.
class TLockTimeout : public TError {
 public:
  explicit TLockTimeout(const std::string& folder);
  std::string Folder;
};

// An advisory lock (flock) on a folder whose files a process writes, held for
// the object's life. Runs that write in several folders take their locks in
// one order (sorted by name), so that two of them cannot wait on each other.
class TFolderLock {
 public:
  // Waits while another process holds the lock, calling `onWait` once when it
  // starts to, and throws TLockTimeout after `timeoutSeconds`. Throws TError
  // when the folder cannot be opened or locked.
  TFolderLock(const std::string& folder, double timeoutSeconds,
              const std::function<void()>& onWait = {});
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int FDescriptor = -1;
};

}  // namespace scrivlock::hosts
