// Whole-process tests of the scrivlock tool on copies of the example project.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode = -1;
  std::string Out, Err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TScrivlockToolTest : public ::testing::Test {
 protected:
  TScrivlockToolTest() {
    FRoot = fs::temp_directory_path() /
            ("scrivlock-tool-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FRoot);
    fs::create_directories(FRoot);
    FDemo = FRoot / "demo";
    fs::copy(fs::path(SCRIVLOCK_EXAMPLES) / "demo", FDemo);
  }
  ~TScrivlockToolTest() override { fs::remove_all(FRoot); }

  // Runs the tool in the demo folder, after the shell commands in `prefix`.
  TRun Run(const std::string& arguments, const std::string& prefix = "") const {
    const fs::path out = FRoot / "out", err = FRoot / "err";
    const std::string command = "cd '" + FDemo.string() + "' && " + prefix +
                                "'" SCRIVLOCK_TOOL "' " + arguments + " >'" + out.string() +
                                "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }
  // Every entry of the demo folder: a file's text (or, for a big one, its
  // size), and what other entries are; hidden ones too. FIFOs are not opened.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDemo)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_symlink()) {
        files[name] = "-> " + fs::read_symlink(entry.path()).string();
      } else if (!entry.is_regular_file()) {
        files[name] = "not a file";
      } else if (entry.file_size() > (size_t{16} << 20)) {
        files[name] = std::to_string(entry.file_size()) + " bytes";
      } else {
        files[name] = ReadFile(entry.path());
      }
    }
    return files;
  }
  // The prefix that runs the tool with system calls failing as `mode` says
  // (FaultShim.cpp).
  static std::string Failing(const std::string& mode) {
    return "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" SCRIVLOCK_FAULT_SHIM
           "' SCRIVLOCK_FAIL=" +
           mode + " ";
  }
  // Runs that could block for ever before their fault was mended give up.
  static constexpr const char* kGuard = "timeout 20 ";

  fs::path FRoot, FDemo;
};

TEST_F(TScrivlockToolTest, UncommentStatusAndRecommentGiveTheProjectBack) {
  const auto original = Snapshot();
  TRun run = Run("uncomment Greeter.pas MathUtil.pas");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "uncommented Greeter.pas: its comments are in Unit1.pas\n"
            "uncommented MathUtil.pas: its comments are in Unit2.pas\n");
  const std::string stripped = ReadFile(FDemo / "Greeter.pas");
  EXPECT_NE(stripped.find("{#1}"), std::string::npos);
  EXPECT_EQ(stripped.find("says hello"), std::string::npos);
  EXPECT_NE(stripped.find("'Hello, ' + Name + '! // not a comment"), std::string::npos);
  EXPECT_NE(ReadFile(FDemo / "Unit1.pas").find("Commenting File: [Greeter.pas]"),
            std::string::npos);

  run = Run("status");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, FDemo.string() +
                         "\n"
                         "  Greeter.pas   uncommented, comments in Unit1.pas\n"
                         "  MathUtil.pas  uncommented, comments in Unit2.pas\n"
                         "  Unit1.pas     commenting module of Greeter.pas\n"
                         "  Unit2.pas     commenting module of MathUtil.pas\n");

  run = Run("recomment Greeter.pas MathUtil.pas");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(Snapshot(), original);
}

// Line and column (from 1) of byte `offset` of `text`.
std::string PlaceOf(const std::string& text, size_t offset) {
  const std::string before = text.substr(0, offset);
  const size_t lineStart = before.rfind('\n');
  const size_t line = 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
  const size_t column = offset - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
  return "(" + std::to_string(line) + "," + std::to_string(column) + ")";
}

TEST_F(TScrivlockToolTest, RefusalsAndErrorsExitNonZeroAndChangeNoFile) {
  ASSERT_EQ(Run("uncomment Greeter.pas").ExitCode, 0);
  // A stripped Greeter.pas whose second marker was edited into another number.
  std::string edited = ReadFile(FDemo / "Greeter.pas");
  const size_t marker = edited.find("{#2}");
  edited.replace(marker, 4, "{#9}");
  fs::copy_file(FDemo / "Greeter.pas", FRoot / "stripped.pas");
  std::ofstream(FDemo / "Edited.pas", std::ios::binary) << edited;
  std::string module = ReadFile(FDemo / "Unit1.pas");
  module.replace(module.find("[Greeter.pas]"), 13, "[Edited.pas]");
  std::ofstream(FDemo / "Unit9.pas", std::ios::binary) << module;
  // Units a command must not touch, or cannot read.
  const std::string mathUtil = ReadFile(FDemo / "MathUtil.pas");
  for (const char* name : {"Linked.pas", "Read Only.pas", "ReadOnly.pas", "a:b.pas", "a\\b.pas"})
    std::ofstream(FDemo / name, std::ios::binary) << mathUtil;
  fs::create_hard_link(FDemo / "Linked.pas", FRoot / "other-name.pas");
  fs::permissions(FDemo / "ReadOnly.pas",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_EQ(::mkfifo((FDemo / "Fifo.pas").c_str(), 0644), 0);
  fs::create_directory(FDemo / "Folder.pas");
  // Past the 2 GB a text may hold, without a byte on the disk.
  std::ofstream(FDemo / "Huge.pas").close();
  fs::resize_file(FDemo / "Huge.pas", (std::uintmax_t{1} << 31) + 1);
  const auto before = Snapshot();

  const std::string demo = FDemo.string();
  const struct {
    std::string Arguments;
    int ExitCode;
    std::string Message;  // how stderr begins
  } cases[] = {
      {"uncomment Greeter.pas", 1,
       "Unit " + demo +
           "/Greeter.pas is already uncommented.\r\nCorresponding comments contained in "
           "module: " +
           demo + "/Unit1.pas\n"},
      {"recomment MathUtil.pas", 1,
       "Error. Unit " + demo + "/MathUtil.pas has no commenting module.\n"},
      {"uncomment Demo.dpr", 1,
       "Unit: " + demo + "/Demo.dpr\r\n cannot be uncommented: it is not a unit."},
      // Where the walk stopped, in the form editors jump to.
      {"recomment Edited.pas", 1,
       demo + "/Edited.pas" + PlaceOf(edited, marker) + " Error: Error. Unit " + demo +
           "/Edited.pas cannot be re-commented from module " + demo +
           "/Unit9.pas:\r\nmarker {#9} at byte "},
      // A file that cannot be read is an error, not a refusal.
      {"uncomment Missing.pas", 2, "Cannot read unit: \r\n" + demo + "/Missing.pas\r\n("},
      {"recomment Missing.pas", 2, "Cannot read unit: \r\n" + demo + "/Missing.pas\r\n("},
      {"uncomment Fifo.pas", 2,
       "Cannot read unit: \r\n" + demo + "/Fifo.pas\r\n(it is a FIFO, not a regular file)"},
      {"recomment Fifo.pas", 2,
       "Cannot read unit: \r\n" + demo + "/Fifo.pas\r\n(it is a FIFO, not a regular file)"},
      {"uncomment Folder.pas", 2,
       "Cannot read unit: \r\n" + demo + "/Folder.pas\r\n(it is a folder)"},
      {"uncomment Huge.pas", 1, "Error. Unit " + demo + "/Huge.pas is too large to uncomment"},
      // Files whose identity a rewrite would not keep.
      {"uncomment Linked.pas", 1, "Error. Unit " + demo + "/Linked.pas has 2 hard links."},
      {"uncomment ReadOnly.pas", 1, "Error. Unit " + demo + "/ReadOnly.pas is read-only."},
      // Names a module header cannot record, or would read as a folder.
      {"uncomment 'Read Only.pas'", 1, "Unit: " + demo + "/Read Only.pas\r\n cannot be"},
      {"uncomment 'a:b.pas'", 1, "Unit: " + demo + "/a:b.pas\r\n cannot be uncommented"},
      {"uncomment 'a\\b.pas'", 1, "Unit: " + demo + "/a\\b.pas\r\n cannot be uncommented"},
      {"recomment 'a:b.pas'", 1, "Unit: " + demo + "/a:b.pas\r\n cannot be uncommented"},
  };
  for (const auto& c : cases) {
    const TRun run = Run(c.Arguments, kGuard);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << ": " << run.Err;
    EXPECT_EQ(run.Err.substr(0, c.Message.size()), c.Message) << c.Arguments;
    EXPECT_EQ(Snapshot(), before) << c.Arguments;
  }
}

// Units of several chunks (whole chunks, and a byte less or more) are read,
// written and checked across chunk borders, and come back byte for byte.
TEST_F(TScrivlockToolTest, UnitsOfSeveralChunksComeBackByteForByte) {
  const std::string greeter = ReadFile(FDemo / "Greeter.pas");
  constexpr size_t kChunk = 8092;
  for (const size_t size : {3 * kChunk - 1, 3 * kChunk, 3 * kChunk + 1, size_t{200000}}) {
    SCOPED_TRACE(size);
    std::string unit;
    while (unit.size() + greeter.size() <= size) unit += greeter;
    unit.resize(size, ' ');
    std::ofstream(FDemo / "Big.pas", std::ios::binary) << unit;
    TRun run = Run("uncomment Big.pas");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::string stripped = ReadFile(FDemo / "Big.pas");
    EXPECT_EQ(stripped.find("says hello"), std::string::npos);
    EXPECT_NE(ReadFile(FDemo / "Unit1.pas").find("says hello"), std::string::npos);
    run = Run("recomment Big.pas");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFile(FDemo / "Big.pas"), unit);
    EXPECT_FALSE(fs::exists(FDemo / "Unit1.pas"));
  }
}

// A file-size limit makes writes fail as a full disk does, or, when the
// process takes the system's signal for it, kills the tool halfway through its
// writing. Either way every file is as it was and nothing is left behind.
TEST_F(TScrivlockToolTest, AWriteThatFailsOrDiesHalfwayChangesNoFile) {
  const std::string greeter = ReadFile(FDemo / "Greeter.pas");
  std::string unit;
  while (unit.size() < 300000) unit += greeter;
  std::ofstream(FDemo / "Big.pas", std::ios::binary) << unit;
  const auto before = Snapshot();
  struct TCase {
    const char* Name;
    const char* Signal;  // the shell's trap for SIGXFSZ
    int ExitCode;
    const char* Message;
  };
  const TCase cases[] = {
      {"a failed write", "trap '' XFSZ; ", 2, "scrivlock: cannot write the new text of "},
      {"killed while writing", "", 128 + SIGXFSZ, ""},  // as the shell reports it
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // ulimit counts blocks of 512 bytes: the stripped unit does not fit.
    const TRun run = Run("uncomment Big.pas", std::string(c.Signal) + "ulimit -f 200; ");
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    EXPECT_EQ(Snapshot(), before);
  }
}

// As on a read-only file system: a dry run opens nothing for writing, and
// names the modules of several units as a real run would.
TEST_F(TScrivlockToolTest, DryRunListsTheChangesAndWritesNothing) {
  const auto before = Snapshot();
  const std::string demo = FDemo.string();
  const struct {
    const char* Arguments;
    std::string Out;
  } cases[] = {
      {"--dry-run uncomment Greeter.pas",
       "would create " + demo + "/Unit1.pas\nwould rewrite " + demo + "/Greeter.pas\n"},
      {"--dry-run uncomment Greeter.pas MathUtil.pas",
       "would create " + demo + "/Unit1.pas\nwould rewrite " + demo + "/Greeter.pas\n" +
           "would create " + demo + "/Unit2.pas\nwould rewrite " + demo + "/MathUtil.pas\n"},
  };
  for (const auto& c : cases) {
    const TRun run = Run(c.Arguments, Failing("writes"));
    EXPECT_EQ(run.ExitCode, 0) << c.Arguments << ": " << run.Err;
    EXPECT_EQ(run.Out, c.Out) << c.Arguments;
    EXPECT_EQ(Snapshot(), before) << c.Arguments;
  }
}

// Re-Comment over every unit of the folder (as `*.pas` gives them) meets the
// commenting modules too: before their units, or after an earlier unit of the
// call deleted them. Either way they are passed over with a note.
TEST_F(TScrivlockToolTest, RecommentPassesOverTheModulesAmongItsUnits) {
  const auto original = Snapshot();
  const std::string demo = FDemo.string();
  const struct {
    const char* Arguments;
    std::string Notes;
  } cases[] = {
      {"recomment Greeter.pas MathUtil.pas Unit1.pas Unit2.pas",
       "Note. " + demo +
           "/Unit1.pas was a commenting module, deleted by this call: passed over.\n" + "Note. " +
           demo + "/Unit2.pas was a commenting module, deleted by this call: passed over.\n"},
      {"recomment Unit1.pas Unit2.pas Greeter.pas MathUtil.pas",
       "Note. " + demo +
           "/Unit1.pas is the commenting module of Greeter.pas, not a unit to "
           "re-comment: passed over.\n" +
           "Note. " + demo +
           "/Unit2.pas is the commenting module of MathUtil.pas, not a unit to "
           "re-comment: passed over.\n"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Run("uncomment Greeter.pas MathUtil.pas").ExitCode, 0);
    const TRun run = Run(c.Arguments);
    EXPECT_EQ(run.ExitCode, 0) << c.Arguments << ": " << run.Err;
    EXPECT_EQ(run.Err, c.Notes) << c.Arguments;
    EXPECT_EQ(Snapshot(), original) << c.Arguments;
  }
}

// A failed flush of the folder leaves the rename in it unsure to survive a
// crash: the run stops there with an error, and the commenting module stays.
TEST_F(TScrivlockToolTest, AFolderThatCannotBeFlushedStopsTheRunAndKeepsTheModule) {
  const std::string greeter = ReadFile(FDemo / "Greeter.pas");
  const struct {
    const char* Name;
    bool UncommentFirst;
    const char* Arguments;
  } cases[] = {
      {"uncomment", false, "uncomment Greeter.pas"},
      {"recomment", true, "recomment Greeter.pas"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove(FDemo / "Unit1.pas");
    std::ofstream(FDemo / "Greeter.pas", std::ios::binary) << greeter;
    if (c.UncommentFirst) {
      ASSERT_EQ(Run("uncomment Greeter.pas").ExitCode, 0);
    }
    const std::string unitBefore = ReadFile(FDemo / "Greeter.pas");
    const TRun run = Run(c.Arguments, Failing("folder-fsync"));
    EXPECT_EQ(run.ExitCode, 2) << run.Err;
    EXPECT_NE(run.Err.find("cannot flush the folder of"), std::string::npos) << run.Err;
    EXPECT_TRUE(fs::exists(FDemo / "Unit1.pas")) << "the module is kept";
    if (!c.UncommentFirst) {
      EXPECT_EQ(ReadFile(FDemo / "Greeter.pas"), unitBefore);
    }
  }
}

// With the folder of a file the run writes locked by another process, the run
// says it waits and gives up with an error; status writes nothing and waits
// for nobody.
TEST_F(TScrivlockToolTest, ARunWaitsForTheLockOfEveryFolderItWritesIn) {
  const fs::path project = FRoot / "project", other = FRoot / "other";
  fs::create_directories(project);
  fs::create_directories(other);
  fs::copy_file(FDemo / "Greeter.pas", other / "B.pas");
  const std::string b = ReadFile(other / "B.pas");
  const std::string run = "--lock-timeout 0.2 --project '" + project.string() + "' ";
  const struct {
    fs::path Locked;
    std::string Arguments;
    int ExitCode;
  } cases[] = {
      {other, run + "uncomment '" + (other / "B.pas").string() + "'", 2},
      {project, run + "uncomment '" + (other / "B.pas").string() + "'", 2},
      {other, "status '" + other.string() + "'", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Arguments);
    const int fd = ::open(c.Locked.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const TRun result = Run(c.Arguments, kGuard);
    ::close(fd);
    EXPECT_EQ(result.ExitCode, c.ExitCode) << result.Err;
    if (c.ExitCode == 2) {
      EXPECT_NE(result.Err.find("waiting for another scrivlock working in " + c.Locked.string()),
                std::string::npos)
          << result.Err;
      EXPECT_NE(result.Err.find("gave up waiting for folder " + c.Locked.string()),
                std::string::npos)
          << result.Err;
    }
    EXPECT_EQ(ReadFile(other / "B.pas"), b);
    EXPECT_TRUE(fs::is_empty(project));
  }
}

// With A.pas and a.pas side by side, a command changes the file it is given;
// a name of another letter case finds a file only when none has that name.
TEST_F(TScrivlockToolTest, ACommandChangesExactlyTheFileItIsGiven) {
  const std::string greeter = ReadFile(FDemo / "Greeter.pas");
  const struct {
    const char* Given;
    const char* Changed;
    const char* Untouched;
  } cases[] = {
      {"Greeter.pas", "Greeter.pas", "greeter.pas"},
      {"greeter.pas", "greeter.pas", "Greeter.pas"},
      {"GREETER.PAS", "Greeter.pas", "MathUtil.pas"},  // no file of that name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Given);
    std::ofstream(FDemo / "Greeter.pas", std::ios::binary) << greeter;
    if (std::string(c.Untouched) == "greeter.pas" || std::string(c.Changed) == "greeter.pas") {
      std::ofstream(FDemo / "greeter.pas", std::ios::binary) << greeter;
    } else {
      fs::remove(FDemo / "greeter.pas");
    }
    const std::string untouched = ReadFile(FDemo / c.Untouched);
    const TRun run = Run(std::string("uncomment ") + c.Given);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFile(FDemo / c.Untouched), untouched);
    EXPECT_EQ(ReadFile(FDemo / c.Changed).find("says hello"), std::string::npos);
    ASSERT_EQ(Run(std::string("recomment ") + c.Given).ExitCode, 0);
    EXPECT_EQ(ReadFile(FDemo / c.Changed), greeter);
  }
}

// A unit reached through a symbolic link is rewritten where it is: the link
// stays a link; the file keeps its mode, and its owner and group where the
// process may give them (here only as root).
TEST_F(TScrivlockToolTest, AUnitKeepsItsLinkModeOwnerAndGroup) {
  const fs::path elsewhere = FRoot / "elsewhere";
  fs::create_directories(elsewhere);
  fs::rename(FDemo / "Greeter.pas", elsewhere / "Greeter.pas");
  fs::create_symlink(elsewhere / "Greeter.pas", FDemo / "Greeter.pas");
  const std::string greeter = ReadFile(elsewhere / "Greeter.pas");
  const fs::path target = elsewhere / "Greeter.pas";
  ::chmod(target.c_str(), 0640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  }
  auto check = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_TRUE(fs::is_symlink(FDemo / "Greeter.pas"));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
      EXPECT_EQ(info.st_uid, 65534u);
      EXPECT_EQ(info.st_gid, 65534u);
    }
  };
  TRun run = Run("uncomment Greeter.pas");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadFile(target).find("says hello"), std::string::npos);
  check("uncomment");
  run = Run("recomment Greeter.pas");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadFile(target), greeter);
  check("recomment");
}

// A kill between the module's creation and the unit's rewrite leaves the unit
// with its comments beside a module of them. Every command names it for what
// it is.
TEST_F(TScrivlockToolTest, AStaleModuleIsNamedAsSuch) {
  const std::string greeter = ReadFile(FDemo / "Greeter.pas");
  ASSERT_EQ(Run("uncomment Greeter.pas").ExitCode, 0);
  std::ofstream(FDemo / "Greeter.pas", std::ios::binary) << greeter;
  const auto before = Snapshot();
  const std::string stale = "Error. Module " + FDemo.string() +
                            "/Unit1.pas is a left-over commenting module of unit " +
                            FDemo.string() + "/Greeter.pas:";
  const struct {
    const char* Arguments;
    int ExitCode;
    std::string Out, Err;
  } cases[] = {
      {"uncomment Greeter.pas", 1, "", stale},
      {"recomment Greeter.pas", 1, "", stale},
      {"status", 0, "  Unit1.pas     commenting module of Greeter.pas (stale: the unit holds none",
       ""},
  };
  for (const auto& c : cases) {
    const TRun run = Run(c.Arguments);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << ": " << run.Err;
    EXPECT_NE(run.Out.find(c.Out), std::string::npos) << c.Arguments << ": " << run.Out;
    EXPECT_EQ(run.Err.substr(0, c.Err.size()), c.Err) << c.Arguments;
    EXPECT_EQ(Snapshot(), before) << c.Arguments;
  }
}

// Status lists the unit names that are no regular file, without opening them
// (a FIFO would block), and names units by their whole names.
TEST_F(TScrivlockToolTest, StatusListsWhatItSkips) {
  ASSERT_EQ(::mkfifo((FDemo / "Fifo.pas").c_str(), 0644), 0);
  fs::create_directory(FDemo / "Folder.pas");
  fs::create_symlink(FDemo / "Nowhere.pas", FDemo / "Dangling.pas");
  // ':' is no folder separator here.
  fs::copy_file(FDemo / "Greeter.pas", FDemo / "a:b.pas");
  const TRun run = Run("status", kGuard);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, FDemo.string() +
                         "\n"
                         "  Greeter.pas   commented\n"
                         "  MathUtil.pas  commented\n"
                         "  a:b.pas       commented\n"
                         "  Dangling.pas  skipped: a link to nothing\n"
                         "  Fifo.pas      skipped: a FIFO\n"
                         "  Folder.pas    skipped: a folder\n");
}

// Temporary files of runs that died (their names carry the process number)
// go with the next run in their folder; a live process's stay.
TEST_F(TScrivlockToolTest, LeftoversOfDeadRunsAreRemoved) {
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  ::waitpid(dead, nullptr, 0);
  const std::string deadName = ".Greeter.pas.scrivlock-" + std::to_string(dead) + ".tmp";
  const std::string deadSerial = ".Greeter.pas.scrivlock-" + std::to_string(dead) + "-3.tmp";
  const std::string liveName = ".Greeter.pas.scrivlock-" + std::to_string(::getpid()) + ".tmp";
  for (const std::string& name : {deadName, deadSerial, liveName})
    std::ofstream(FDemo / name) << "draft";
  ASSERT_EQ(Run("uncomment Greeter.pas").ExitCode, 0);
  EXPECT_FALSE(fs::exists(FDemo / deadName));
  EXPECT_FALSE(fs::exists(FDemo / deadSerial));
  EXPECT_TRUE(fs::exists(FDemo / liveName));
}

TEST_F(TScrivlockToolTest, TwoRunsAtOnceDoNotInterleave) {
  // Both try to uncomment the same unit: with the project locked, one of them
  // finds the other's commenting module and is refused. Filler units make each
  // run long enough for the two to overlap if nothing held them apart.
  const std::string filler = "unit Filler;\r\n" + std::string(8000, ' ') + "\r\nend.\r\n";
  for (int i = 0; i < 3000; ++i)
    std::ofstream(FDemo / ("Filler" + std::to_string(i) + ".pas")) << filler;
  const std::string tool = SCRIVLOCK_TOOL;
  auto oneRun = [&](const char* name) {
    const std::string base = (FRoot / name).string();
    return "('" + tool + "' uncomment Greeter.pas >/dev/null 2>'" + base + ".err'; echo $? >'" +
           base + "')";
  };
  const std::string command =
      "cd '" + FDemo.string() + "' && { " + oneRun("a") + " & " + oneRun("b") + " & wait; }";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string codes = ReadFile(FRoot / "a") + ReadFile(FRoot / "b");
  EXPECT_TRUE(codes == "0\n1\n" || codes == "1\n0\n") << codes;
  const std::string errors = ReadFile(FRoot / "a.err") + ReadFile(FRoot / "b.err");
  EXPECT_NE(errors.find("is already uncommented"), std::string::npos) << errors;
  const auto files = Snapshot();
  EXPECT_TRUE(files.count("Unit1.pas"));
  EXPECT_FALSE(files.count("Unit2.pas"));
}

TEST_F(TScrivlockToolTest, HelpExplainsTheCommands) {
  const TRun run = Run("--help");
  EXPECT_EQ(run.ExitCode, 0);
  for (const char* word :
       {"uncomment", "recomment", "status", "--dry-run", "--project", "Examples:", "Exit status"}) {
    EXPECT_NE(run.Out.find(word), std::string::npos) << word;
  }
}

TEST_F(TScrivlockToolTest, AWrongCommandLineIsAnErrorAndChangesNoFile) {
  const auto original = Snapshot();
  for (const char* arguments : {"", "uncomment", "strip Greeter.pas", "--frobnicate status"}) {
    const TRun run = Run(arguments);
    EXPECT_EQ(run.ExitCode, 2) << arguments;
    EXPECT_NE(run.Err.find("--help"), std::string::npos) << arguments << ": " << run.Err;
  }
  EXPECT_EQ(Snapshot(), original);
}

}  // namespace

namespace {

// How a Free Pascal unit is read: the unit's own mode, a Lazarus project's,
// or the command line's choice; line comments keep their line breaks unless
// told not to.
TEST_F(TScrivlockToolTest, ReadsCommentsAsTheUnitTheProjectOrTheCommandLineSays) {
  const std::string unit = "unit Nest;\n{ a { b } c }\nx // d\nend.\n";
  const std::string objfpc = "unit Nest;\n{$mode objfpc}\n{ a { b } c }\nend.\n";
  struct {
    const char* name;
    std::string arguments, prefix, text, stripped;
  } cases[] = {
      {"no mode: fpc, lines kept", "", "", unit, "unit Nest;\n{#1}\nx {#2}\nend.\n{#3}"},
      {"the unit's mode", "--dialect auto", "", objfpc,
       "unit Nest;\n{$mode objfpc}\n{#1}\nend.\n{#2}"},
      {"a Lazarus project's mode", "", "echo '<SyntaxMode Value=\"Delphi\"/>' >p.lpi && ", unit,
       "unit Nest;\n{#1} c }\nx {#2}\nend.\n{#3}"},
      {"delphi chosen, lines not kept", "--dialect delphi --no-keep-lines", "", unit,
       "unit Nest;\n{#1} c }\nx {#2}end.\n{#3}"},
  };
  for (const auto& c : cases) {
    std::ofstream(FDemo / "Nest.pas", std::ios::binary) << c.text;
    const TRun run = Run(c.arguments + " uncomment Nest.pas", c.prefix);
    EXPECT_EQ(run.ExitCode, 0) << c.name << ": " << run.Err;
    EXPECT_EQ(ReadFile(FDemo / "Nest.pas"), c.stripped) << c.name;
    EXPECT_EQ(Run("recomment Nest.pas").ExitCode, 0) << c.name;
    EXPECT_EQ(ReadFile(FDemo / "Nest.pas"), c.text) << c.name;
    fs::remove(FDemo / "p.lpi");
  }
  EXPECT_EQ(Run("--dialect tp uncomment Nest.pas").ExitCode, 2);
}

TEST_F(TScrivlockToolTest, UncommentSaysWhereTheModuleCannotBeSkipped) {
  std::ofstream(FDemo / "Old.pas", std::ios::binary)
      << "unit Old;\r\nx := 1;\r\n  (* was:\r\n  { y := 2;\r\n  *)\r\nend.";
  const TRun run = Run("uncomment Old.pas");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Err.find(FDemo.string() + "/Old.pas(3,3) Warning: Warning. Unit "),
            std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("{#1}"), std::string::npos) << run.Err;
}

}  // namespace
