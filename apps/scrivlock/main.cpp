// scrivlock: the Uncomment and Re-Comment commands on Object Pascal units in a
// folder, run on the file-backed host. See `scrivlock --help`.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/FileNames.h"
#include "commands/Commands.h"
#include "commands/Messages.h"
#include "hostintf/ToolServices.h"
#include "hosts/files/FileHost.h"
#include "source/SourceClass.h"

namespace {

using namespace scrivlock;
using hosts::TFileHost;
namespace fs = std::filesystem;

enum TExitCode { ecDone = 0, ecRefused = 1, ecError = 2 };

// CR LF is the system's line break; a terminal shows it as a plain one.
std::string ForOutput(const std::string& text, bool terminal) {
  if (!terminal) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// The commands' site on a terminal: no buttons, messages on stderr, and the
// module's file deleted by the host when it saves.
class TConsoleSite : public commands::TCommandSite {
 public:
  explicit TConsoleSite(TFileHost& host) : FHost(host) {}
  void SetButtonEnabled(commands::TCommandButton, bool) noexcept override {}
  void ShowMessage(const std::string& text) override {
    std::cerr << ForOutput(text, isatty(STDERR_FILENO)) << "\n";
  }
  // As Free Pascal says it, so that an editor reading the output can jump there.
  void ShowMessageAt(const std::string& text, const commands::TTextPlace& place) override {
    ShowMessage(commands::MsgAt(place.FileName, place.Line, place.Column, text));
  }
  bool DeleteModuleFile(const std::string& fileName) override {
    FHost.ScheduleDelete(fileName);
    return true;
  }

 private:
  TFileHost& FHost;
};

const char* ChangeVerb(TFileHost::TChangeKind kind) {
  switch (kind) {
    case TFileHost::ckCreate:
      return "create";
    case TFileHost::ckRewrite:
      return "rewrite";
    case TFileHost::ckDelete:
      return "delete";
  }
  return "";
}

struct TOptions {
  std::string Project;
  bool DryRun = false;
  double LockTimeout = 10;
  // How Uncomment reads comments (the host's project options).
  std::string Dialect = "auto";
  bool KeepLines = true;
};

// What the earlier units of one call did: a later unit must not meet a file
// that an earlier one deleted, and a dry run names its new modules in
// sequence as a real run would.
struct TCall {
  std::set<std::string> Deleted;
  std::vector<std::string> Created;
};

// A file's name without its folder. On this system only '/' separates
// folders: "a:b.pas" is one name.
std::string_view NameOf(std::string_view fileName) {
  return fileName.substr(fileName.rfind('/') + 1);
}

std::string FolderOf(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
}

// The file of exactly that name; failing that, the one file in its folder
// whose name differs from it in letter case only (as a user may type it).
std::string ExistingName(const std::string& fileName) {
  std::error_code error;
  if (fs::symlink_status(fileName, error).type() != fs::file_type::not_found) return fileName;
  const std::string folder = FolderOf(fileName);
  const std::string_view name = NameOf(fileName);
  std::string found;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!SameText(entry.path().filename().string(), name)) continue;
    if (!found.empty()) return fileName;  // more than one: none is meant more than another
    found = entry.path().string();
  }
  return found.empty() ? fileName : found;
}

void Report(const std::string& text) {
  std::cerr << ForOutput(text, isatty(STDERR_FILENO)) << "\n";
}

// Checks of the unit's file before anything reads it: the exit status when it
// must not be worked on (after its message), else none.
std::optional<int> CheckUnitFile(bool uncomment, const std::string& unitFile) {
  // On this system ':' and '\\' are part of a file name, but a commenting
  // module's header would read them as folder separators.
  const std::string_view name = NameOf(unitFile);
  if (name.find_first_of(":\\") != std::string_view::npos) {
    Report(commands::MsgUnrecordableName(unitFile));
    return ecRefused;
  }
  struct stat info {};
  if (::stat(unitFile.c_str(), &info) != 0) {
    Report(commands::MsgCannotRead(unitFile, std::strerror(errno)));
    return ecError;
  }
  if (!S_ISREG(info.st_mode)) {
    const char* kind = S_ISDIR(info.st_mode)    ? "it is a folder"
                       : S_ISFIFO(info.st_mode) ? "it is a FIFO, not a regular file"
                                                : "it is not a regular file";
    Report(commands::MsgCannotRead(unitFile, kind));
    return ecError;
  }
  if (::access(unitFile.c_str(), R_OK) != 0) {
    Report(commands::MsgCannotRead(unitFile, std::strerror(errno)));
    return ecError;
  }
  // Refused by its size before a byte of it is read.
  if (info.st_size > TByteStream::kMaxSize) {
    Report(uncomment ? commands::MsgTooLarge(unitFile)
                     : commands::MsgCannotRead(unitFile, "it is larger than 2 GB"));
    return uncomment ? ecRefused : ecError;
  }
  if (info.st_nlink > 1) {
    Report(commands::MsgSeveralLinks(unitFile, static_cast<int64_t>(info.st_nlink)));
    return ecRefused;
  }
  // Also for a process that may write anyway (root): nobody means it to change.
  if ((info.st_mode & 0222) == 0 || ::access(unitFile.c_str(), W_OK) != 0) {
    Report(commands::MsgReadOnly(unitFile));
    return ecRefused;
  }
  return std::nullopt;
}

// The unit a commenting module names in its header, confirmed by the module
// test; empty when `chunk` is no commenting module.
std::string ModuleOwner(TByteStream& chunk);

int RunCommand(bool uncomment, const std::string& unitArg, const TOptions& options, TCall& call) {
  const std::string unitFile = ExistingName(TFileHost::FullFileName(unitArg));
  if (call.Deleted.count(unitFile)) {
    Report(commands::MsgPassedOverDeleted(unitFile));
    return ecDone;
  }
  try {
    const std::string folder =
        TFileHost::ProjectFolderOf(options.Project.empty() ? unitFile : options.Project);
    // Every folder this run writes in: the project's (the commenting module)
    // and the unit's own, where it is a link's target. Held until the changes
    // are on disk; taken in one order, so that two runs cannot wait on each
    // other.
    std::set<std::string> folders{folder, FolderOf(TFileHost::TargetOf(unitFile))};
    std::vector<std::unique_ptr<hosts::TFolderLock>> locks;
    for (const std::string& lockFolder : folders) {
      locks.push_back(std::make_unique<hosts::TFolderLock>(lockFolder, options.LockTimeout, [&] {
        std::cerr << "scrivlock: waiting for another scrivlock working in " << lockFolder
                  << " (at most " << options.LockTimeout << " s, see --lock-timeout)\n";
      }));
      if (!options.DryRun) TFileHost::RemoveLeftovers(lockFolder);
    }
    // Under the locks: no other run of ours changes the file meanwhile.
    if (const std::optional<int> refused = CheckUnitFile(uncomment, unitFile)) return *refused;
    TFileHost host(folder, options.DryRun ? TFileHost::dsMemory : TFileHost::dsUnnamed);
    for (const std::string& name : call.Created) host.ClaimName(name);
    host.SetProjectOption(hostintf::kOptionDialect, options.Dialect);
    host.SetProjectOption(hostintf::kOptionKeepLines, options.KeepLines ? "on" : "off");
    hostintf::TToolServicesScope scope(host.ToolServices());
    commands::TUnitFileList units;
    for (const std::string& name : host.UnitFiles()) units.Add(name);
    if (!uncomment) {
      TByteStream chunk;
      commands::ReadModuleHead(unitFile, &chunk);
      if (const std::string owner = ModuleOwner(chunk); !owner.empty()) {
        Report(commands::MsgPassedOverModule(unitFile, owner));
        return ecDone;
      }
    }
    TConsoleSite site(host);
    const bool done = uncomment ? commands::UnCommentUnit(site, units, unitFile)
                                : commands::ReCommentUnit(site, units, unitFile);
    if (!done) {
      // A draft the host could not write (say, on a full disk) is an error,
      // not the unit's fault.
      if (host.WriteError().empty()) return ecRefused;
      std::cerr << "scrivlock: " << host.WriteError() << "\n";
      return ecError;
    }

    const std::vector<TFileHost::TChange> changes = host.PendingChanges();
    for (const TFileHost::TChange& change : changes) {
      if (change.Kind == TFileHost::ckCreate) call.Created.push_back(change.FileName);
      if (change.Kind == TFileHost::ckDelete) call.Deleted.insert(change.FileName);
    }
    if (options.DryRun) {
      for (const TFileHost::TChange& change : changes) {
        std::cout << "would " << ChangeVerb(change.Kind) << " " << change.FileName << "\n";
      }
      return ecDone;
    }
    std::string error;
    if (!host.Commit(&error)) {
      std::cerr << "scrivlock: " << error << "\n";
      return ecError;
    }
    std::string module;
    for (const TFileHost::TChange& change : changes) {
      if (change.Kind == (uncomment ? TFileHost::ckCreate : TFileHost::ckDelete))
        module = change.FileName;
    }
    const std::string_view unitName = NameOf(unitFile);
    if (uncomment) {
      std::cout << "uncommented " << unitName << ": its comments are in " << NameOf(module) << "\n";
    } else {
      std::cout << "re-commented " << unitName << ": deleted its commenting module "
                << NameOf(module) << "\n";
    }
    return ecDone;
  } catch (const std::exception& e) {
    std::cerr << "scrivlock: " << e.what() << "\n";
    return ecError;
  }
}

// The unit a commenting module names in its header, confirmed by the module
// test; empty when `chunk` is no commenting module.
std::string ModuleOwner(TByteStream& chunk) {
  static constexpr std::string_view kHeader = "Commenting File: [";
  const std::string_view head =
      chunk.View().substr(0, static_cast<size_t>(source::TSourceClass::kProbeSize));
  const size_t start = head.find(kHeader);
  if (start == std::string_view::npos) return {};
  const size_t from = start + kHeader.size();
  const size_t stop = head.find(']', from);
  if (stop == std::string_view::npos) return {};
  const std::string owner(head.substr(from, stop - from));
  chunk.Seek(0);
  return source::TSourceClass().IsModuleOf(chunk, owner) ? owner : std::string();
}

int RunStatus(const std::string& dirArg) {
  try {
    // No lock: status writes nothing, and every file it reads is replaced
    // whole, by a rename, or not at all.
    const std::string folder = TFileHost::ProjectFolderOf(dirArg.empty() ? "." : dirArg);
    TFileHost host(folder);
    hostintf::TToolServicesScope scope(host.ToolServices());
    const std::vector<std::string> files = host.UnitFiles();
    std::map<std::string, std::string> ownerOf;                 // module file -> unit name
    std::map<std::string, std::vector<std::string>> modulesOf;  // unit name -> module names
    for (const std::string& file : files) {
      TByteStream chunk;
      commands::ReadModuleHead(file, &chunk);
      const std::string owner = ModuleOwner(chunk);
      if (owner.empty()) continue;
      ownerOf[file] = owner;
      modulesOf[owner].emplace_back(NameOf(file));
    }
    std::cout << folder << "\n";
    size_t width = 0;
    for (const std::string& file : files) width = std::max(width, NameOf(file).size());
    for (const TFileHost::TSkipped& skipped : host.SkippedFiles())
      width = std::max(width, NameOf(skipped.FileName).size());
    for (const std::string& file : files) {
      const std::string name(NameOf(file));
      std::cout << "  " << name << std::string(width + 2 - name.size(), ' ');
      if (auto owner = ownerOf.find(file); owner != ownerOf.end()) {
        const bool unitHere = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
          return NameOf(f) == owner->second;
        });
        std::cout << "commenting module of " << owner->second;
        if (!unitHere) {
          std::cout << " (no such unit here)";
        } else if (modulesOf[owner->second].size() == 1) {
          TByteStream unit;
          if (commands::ReadModuleText(host.Folder() + "/" + owner->second, &unit,
                                       commands::clWhole) > 0 &&
              !source::HoldsMarker(unit.View())) {
            std::cout << " (stale: the unit holds none of its markers and has all its "
                         "comments; delete it)";
          }
        }
        std::cout << "\n";
      } else if (auto modules = modulesOf.find(name); modules != modulesOf.end()) {
        if (modules->second.size() == 1) {
          std::cout << "uncommented, comments in " << modules->second.front() << "\n";
        } else {
          std::cout << "uncommented, " << modules->second.size() << " commenting modules:";
          for (const std::string& module : modules->second) std::cout << " " << module;
          std::cout << " (re-comment needs exactly one)\n";
        }
      } else {
        std::cout << "commented\n";
      }
    }
    for (const TFileHost::TSkipped& skipped : host.SkippedFiles()) {
      const std::string name(NameOf(skipped.FileName));
      std::cout << "  " << name << std::string(width + 2 - name.size(), ' ')
                << "skipped: " << skipped.Kind << "\n";
    }
    return ecDone;
  } catch (const std::exception& e) {
    std::cerr << "scrivlock: " << e.what() << "\n";
    return ecError;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "scrivlock takes every comment out of an Object Pascal unit and puts it back later.\n"
      "Uncomment replaces each comment by a marker {#N} and moves the comment texts into a\n"
      "new unit beside it, the commenting module (named like an IDE's next new unit: the\n"
      "first free UnitN.pas). Re-Comment puts every comment back at its marker and deletes\n"
      "the commenting module. The project is the unit's folder; its units are the folder's\n"
      ".pas and .pp files. Files are replaced safely (written aside, flushed, then renamed;\n"
      "a symbolic link stays a link), and one scrivlock at a time writes in a folder.",
      "scrivlock"};
  app.footer(
      "Examples:\n"
      "  scrivlock uncomment Greeter.pas   strip Greeter.pas; its comments go to UnitN.pas\n"
      "  scrivlock status                  list the units here and their commenting modules\n"
      "  scrivlock recomment Greeter.pas   restore Greeter.pas and delete its commenting module\n"
      "  scrivlock -n uncomment *.pas      show what would be written, write nothing\n"
      "\n"
      "Exit status: 0 done; 1 a unit was refused (the message says why; its files are\n"
      "unchanged); 2 an error (a wrong command line, or a folder or file that could not\n"
      "be read, locked within --lock-timeout, or written).\n"
      "A message about a place in a unit begins as Free Pascal's do, \"Unit1.pas(12,5) Error:\",\n"
      "so that editors can jump to it.\n"
      "With several units, each is done on its own and the worst status is returned.\n"
      "See scrivlock(1) for more.");
  app.set_version_flag("--version", "scrivlock " SCRIVLOCK_VERSION);
  app.require_subcommand(1, 1);
  app.fallthrough();

  TOptions options;
  app.add_option(
      "-p,--project", options.Project,
      "the project: a folder, or a .dpr or .lpr file in it (default: each unit's folder)");
  app.add_flag("-n,--dry-run", options.DryRun,
               "run the command but write nothing; list the files it would change");
  app.add_option("--dialect", options.Dialect,
                 "how uncomment reads comments: auto (the unit's {$mode}, else the mode of a\n"
                 "Lazarus project (.lpi) beside it, else fpc), fpc (comments nest, as in\n"
                 "Free Pascal's fpc and objfpc modes) or delphi (they do not)")
      ->check(CLI::IsMember({"auto", "fpc", "delphi"}))
      ->capture_default_str();
  app.add_flag("--keep-lines,!--no-keep-lines", options.KeepLines,
               "line comments leave their line breaks, so that each line of the stripped\n"
               "unit is the same line of the original (the default; --no-keep-lines turns\n"
               "it off)");
  app.add_option("--lock-timeout", options.LockTimeout,
                 "how long to wait for another scrivlock working in the same folder, in "
                 "seconds (default: 10); then give up with status 2")
      ->check(CLI::NonNegativeNumber);

  std::vector<std::string> uncommentUnits, recommentUnits;
  std::string statusDir;
  CLI::App* uncomment =
      app.add_subcommand("uncomment", "take the comments out of units into commenting modules");
  uncomment->add_option("units", uncommentUnits, "the units (.pas, .pp) to uncomment")->required();
  CLI::App* recomment =
      app.add_subcommand("recomment", "put the comments back and delete the commenting modules");
  recomment->add_option("units", recommentUnits, "the units (.pas, .pp) to re-comment")->required();
  CLI::App* status =
      app.add_subcommand("status", "list the units of a folder and their commenting modules");
  status->add_option("dir", statusDir, "the project folder (default: the current folder)");

  // --help prints and succeeds; a command line the tool cannot take is an
  // error, with the status the help gives for one.
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }

  if (status->parsed()) return RunStatus(options.Project.empty() ? statusDir : options.Project);
  int worst = ecDone;
  const bool isUncomment = uncomment->parsed();
  TCall call;
  for (const std::string& unit : isUncomment ? uncommentUnits : recommentUnits) {
    worst = std::max(worst, RunCommand(isUncomment, unit, options, call));
  }
  return worst;
}
