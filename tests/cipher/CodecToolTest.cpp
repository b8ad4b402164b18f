// scrivlock-codec run as a process: the way it is used to make encoded texts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CaseName.h"

namespace {

struct TRun {
  int ExitCode;
  std::string Out;
  std::string Err;
};

class CodecToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A table's cases are named "Name/Row3": the slash would make the folder
    // a subfolder, and TearDown would leave its parent behind.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    FDir = std::filesystem::temp_directory_path() /
           ("scrivlock-codec-test-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(FDir);
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }

  static std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  TRun Run(const std::string& args, const std::string& input) {
    const auto in = FDir / "in", out = FDir / "out", err = FDir / "err";
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = std::string("'") + SCRIVLOCK_CODEC + "' " + args + " <'" +
                                in.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  }

  std::filesystem::path FDir;
};

TEST_F(CodecToolTest, EncodeThenDecodeInEveryMode) {
  const std::string plain = "Hint: choose a unit and press Uncomment.";  // 40 bytes: no padding
  for (const char* mode : {"ecb", "cbc", "cfb", "ofb"}) {
    const TRun encoded = Run(std::string("encode --key 'tool key 1' --mode ") + mode, plain);
    ASSERT_EQ(encoded.ExitCode, 0) << mode << ": " << encoded.Err;
    const TRun decoded = Run("decode --key 'tool key 1'", encoded.Out);
    EXPECT_EQ(decoded.ExitCode, 0) << mode << ": " << decoded.Err;
    EXPECT_EQ(decoded.Out, plain) << mode;
  }
}

TEST_F(CodecToolTest, GivenIvMakesTheTextRepeatableAndKeepNulShowsTheTerminator) {
  const std::string args = "encode --key secret --mode cfb --iv 0001020304050607 --label Hint";
  const TRun first = Run(args, "abc");
  const TRun second = Run(args, "abc");
  ASSERT_EQ(first.ExitCode, 0) << first.Err;
  EXPECT_EQ(first.Out, second.Out);
  EXPECT_EQ(first.Out.rfind("Hint 1,0,0,28.", 0), 0u) << first.Out;
  const TRun decoded = Run("decode --key secret --keep-nul", first.Out);
  EXPECT_EQ(decoded.Out, std::string("abc\0\0\0\0\0\0", 9));
}

struct FailureCase {
  const char* Args;
  const char* Input;
  const char* Message;
  int Status;  // 1 for a text the cipher refuses, 2 for a wrong command line
};

class CodecToolFailureTest : public CodecToolTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CodecToolFailureTest, ReportsOnStderrWithNonZeroExit) {
  const TRun run = Run(GetParam().Args, GetParam().Input);
  EXPECT_EQ(run.ExitCode, GetParam().Status);
  EXPECT_EQ(run.Out, "");
  EXPECT_NE(run.Err.find(GetParam().Message), std::string::npos) << run.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodecToolFailureTest,
    ::testing::Values(
        FailureCase{"encode --key short --mode ecb", "x",
                    "WARNING!: Tembrel Cypher requires a key of at least six characters.", 1},
        FailureCase{"decode --key 'long enough key'", "no stop here",
                    "Decoding string error: '.' not found in header.", 1},
        FailureCase{"decode --key 'long enough key'", "L 1,0,0,-5.zzzz",
                    "Out of memory while expanding memory stream", 1},
        FailureCase{"encode --key 'long enough key' --mode xyz", "x", "xyz", 2},
        FailureCase{"encode --key 'long enough key' --mode cbc --iv 12", "x", "--iv", 2},
        FailureCase{"", "", "A subcommand is required", 2},
        FailureCase{"decode", "x", "--key is required", 2}),
    scrivlock::cipher::TRowName());

}  // namespace
#include "CaseName.h"
