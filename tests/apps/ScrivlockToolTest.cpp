// Whole-process tests of the scrivlock tool on copies of the example project.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDemo)) {
      files[entry.path().filename().string()] = ReadFile(entry.path());
    }
    return files;
  }

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

TEST_F(TScrivlockToolTest, RefusalsExitNonZeroAndChangeNoFile) {
  ASSERT_EQ(Run("uncomment Greeter.pas").ExitCode, 0);
  // A stripped Greeter.pas whose second marker was edited into another number.
  std::string edited = ReadFile(FDemo / "Greeter.pas");
  edited.replace(edited.find("{#2}"), 4, "{#9}");
  fs::copy_file(FDemo / "Greeter.pas", FRoot / "stripped.pas");
  std::ofstream(FDemo / "Edited.pas", std::ios::binary) << edited;
  std::string module = ReadFile(FDemo / "Unit1.pas");
  module.replace(module.find("[Greeter.pas]"), 13, "[Edited.pas]");
  std::ofstream(FDemo / "Unit9.pas", std::ios::binary) << module;
  const auto before = Snapshot();

  const std::string demo = FDemo.string();
  const std::pair<std::string, std::string> cases[] = {
      {"uncomment Greeter.pas",
       "Unit " + demo +
           "/Greeter.pas is already uncommented.\r\nCorresponding comments contained in "
           "module: " +
           demo + "/Unit1.pas\n"},
      {"recomment MathUtil.pas",
       "Error. Unit " + demo + "/MathUtil.pas has no commenting module.\n"},
      {"uncomment Missing.pas", "Cannot read unit: \r\n" + demo + "/Missing.pas\n"},
      {"uncomment Demo.dpr", "Unit: " + demo +
                                 "/Demo.dpr\r\n cannot be uncommented: it is not a unit."},
      {"recomment Edited.pas", "Error. Unit " + demo +
                                   "/Edited.pas cannot be re-commented from module " + demo +
                                   "/Unit9.pas:\r\nmarker {#9} at byte "},
  };
  for (const auto& [arguments, message] : cases) {
    const TRun run = Run(arguments);
    EXPECT_EQ(run.ExitCode, 1) << arguments;
    EXPECT_EQ(run.Err.substr(0, message.size()), message) << arguments;
    EXPECT_EQ(Snapshot(), before) << arguments;
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

TEST_F(TScrivlockToolTest, DryRunListsTheChangesAndWritesNothing) {
  const auto before = Snapshot();
  const TRun run = Run("--dry-run uncomment Greeter.pas");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "would create " + FDemo.string() + "/Unit1.pas\nwould rewrite " +
                         FDemo.string() + "/Greeter.pas\n");
  EXPECT_EQ(Snapshot(), before);
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
