// TFileHost: a host over a folder of files, behind the scrivlock command-line
// tool. The project is a folder (given as the folder, or as a .dpr or .lpr file
// in it); its units are the folder's ".pas" files. A buffer is a file's bytes,
// read only as far as a reader asks for them. No file changes while a command
// runs: the text a writer makes goes straight into a draft, a temporary file in
// the file's folder (without a name where the system allows it, so that a
// process that dies leaves nothing behind), and Commit puts the drafts in
// place, safely:
//
//   - every draft is flushed to disk, then renamed over the old file (a new
//     file never replaces one that appeared meanwhile), and the folder is
//     flushed;
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
// TProjectLock keeps two processes from working on one project at once.
// Not thread-safe; one command at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

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
  // in named ones; or always in named ones.
  enum TDrafts { dsUnnamed, dsNamed };
  explicit TFileHost(const std::string& projectPath, TDrafts drafts = dsUnnamed);
  ~TFileHost();
  TFileHost(const TFileHost&) = delete;
  TFileHost& operator=(const TFileHost&) = delete;

  // The folder of `path`: the path itself when it is a folder, else its
  // parent; absolute and normalised.
  static std::string ProjectFolderOf(const std::string& path);
  // `path` made absolute and normalised, the way this host names files.
  static std::string FullFileName(const std::string& path);

  // Owned by the host; do not Release it.
  hostintf::TIToolServices* ToolServices();
  // The project folder, absolute, without a trailing separator.
  const std::string& Folder() const;
  // The project's ".pas" files (any letter case), full names, sorted by name;
  // new units created by a command come last.
  std::vector<std::string> UnitFiles() const;

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

// An advisory lock (flock) on a project folder, held for the object's life.
// Blocks while another process holds it.
class TProjectLock {
 public:
  // Throws TError when the folder cannot be opened or locked.
  explicit TProjectLock(const std::string& folder);
  ~TProjectLock();
  TProjectLock(const TProjectLock&) = delete;
  TProjectLock& operator=(const TProjectLock&) = delete;

 private:
  int FDescriptor = -1;
};

}  // namespace scrivlock::hosts
