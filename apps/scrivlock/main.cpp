// scrivlock: the Uncomment and Re-Comment commands on Object Pascal units in a
// folder, run on the file-backed host. See `scrivlock --help`.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "base/FileNames.h"
#include "commands/Commands.h"
#include "hostintf/ToolServices.h"
#include "hosts/files/FileHost.h"
#include "source/SourceClass.h"

namespace {

using namespace scrivlock;
using hosts::TFileHost;

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

// How Uncomment reads comments (the host's project options).
struct TScanSettings {
  std::string Dialect = "auto";
  bool KeepLines = true;
};

int RunCommand(bool uncomment, const std::string& unitArg, const std::string& projectArg,
               bool dryRun, const TScanSettings& settings) {
  const std::string unitFile = TFileHost::FullFileName(unitArg);
  try {
    const std::string folder =
        TFileHost::ProjectFolderOf(projectArg.empty() ? unitFile : projectArg);
    // Held until the changes are on disk: a second scrivlock waits here.
    hosts::TProjectLock lock(folder);
    TFileHost host(folder);
    host.SetProjectOption(hostintf::kOptionDialect, settings.Dialect);
    host.SetProjectOption(hostintf::kOptionKeepLines, settings.KeepLines ? "on" : "off");
    hostintf::TToolServicesScope scope(host.ToolServices());
    commands::TUnitFileList units;
    for (const std::string& name : host.UnitFiles()) units.Add(name);
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
    if (dryRun) {
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
    const std::string_view unitName = ExtractFileName(unitFile);
    if (uncomment) {
      std::cout << "uncommented " << unitName << ": its comments are in " << ExtractFileName(module)
                << "\n";
    } else {
      std::cout << "re-commented " << unitName << ": deleted its commenting module "
                << ExtractFileName(module) << "\n";
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
  const std::string_view head = chunk.View().substr(0, 1023);
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
    const std::string folder = TFileHost::ProjectFolderOf(dirArg.empty() ? "." : dirArg);
    hosts::TProjectLock lock(folder);
    TFileHost host(folder);
    hostintf::TToolServicesScope scope(host.ToolServices());
    const std::vector<std::string> files = host.UnitFiles();
    std::map<std::string, std::string> ownerOf;                 // module file -> unit name
    std::map<std::string, std::vector<std::string>> modulesOf;  // unit name -> module names
    for (const std::string& file : files) {
      TByteStream chunk;
      commands::ReadModuleText(file, &chunk, commands::clFirstChunk);
      const std::string owner = ModuleOwner(chunk);
      if (owner.empty()) continue;
      ownerOf[file] = owner;
      modulesOf[owner].emplace_back(ExtractFileName(file));
    }
    std::cout << folder << "\n";
    size_t width = 0;
    for (const std::string& file : files) width = std::max(width, ExtractFileName(file).size());
    for (const std::string& file : files) {
      const std::string name(ExtractFileName(file));
      std::cout << "  " << name << std::string(width + 2 - name.size(), ' ');
      if (auto owner = ownerOf.find(file); owner != ownerOf.end()) {
        const bool unitHere = std::any_of(files.begin(), files.end(), [&](const std::string& f) {
          return ExtractFileName(f) == owner->second;
        });
        std::cout << "commenting module of " << owner->second
                  << (unitHere ? "" : " (no such unit here)") << "\n";
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
      ".pas and .pp files. Files are replaced safely (written aside, flushed, then renamed), and "
      "one\n"
      "scrivlock at a time works on a folder.",
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
      "be read, locked or written).\n"
      "With several units, each is done on its own and the worst status is returned.\n"
      "See scrivlock(1) for more.");
  app.set_version_flag("--version", "scrivlock " SCRIVLOCK_VERSION);
  app.require_subcommand(1, 1);
  app.fallthrough();

  std::string project;
  bool dryRun = false;
  app.add_option(
      "-p,--project", project,
      "the project: a folder, or a .dpr or .lpr file in it (default: each unit's folder)");
  app.add_flag("-n,--dry-run", dryRun,
               "run the command but write nothing; list the files it would change");
  TScanSettings settings;
  app.add_option("--dialect", settings.Dialect,
                 "how uncomment reads comments: auto (the unit's {$mode}, else the mode of a\n"
                 "Lazarus project (.lpi) beside it, else fpc), fpc (comments nest, as in\n"
                 "Free Pascal's fpc and objfpc modes) or delphi (they do not)")
      ->check(CLI::IsMember({"auto", "fpc", "delphi"}))
      ->capture_default_str();
  app.add_flag("--keep-lines,!--no-keep-lines", settings.KeepLines,
               "line comments leave their line breaks, so that each line of the stripped\n"
               "unit is the same line of the original (the default; --no-keep-lines turns\n"
               "it off)");

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

  if (status->parsed()) return RunStatus(project.empty() ? statusDir : project);
  int worst = ecDone;
  const bool isUncomment = uncomment->parsed();
  for (const std::string& unit : isUncomment ? uncommentUnits : recommentUnits) {
    worst = std::max(worst, RunCommand(isUncomment, unit, project, dryRun, settings));
  }
  return worst;
}
