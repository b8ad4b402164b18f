// scrivlock-codec run as a process: the way it is used to make encoded texts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>

#include "CaseName.h"
#include "Encoder.h"

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

  // Runs the tool on `input`; its output goes to `output` (a file of the test's
  // own when empty) and is read back from there when that is a regular file
  // (a device such as /dev/full would never end).
  TRun Run(const std::string& args, const std::string& input, std::string output = {}) {
    const auto in = FDir / "in", err = FDir / "err";
    if (output.empty()) output = (FDir / "out").string();
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = std::string("'") + SCRIVLOCK_CODEC + "' " + args + " <'" +
                                in.string() + "' >'" + output + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    const std::string out = std::filesystem::is_regular_file(output) ? Slurp(output) : "";
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, Slurp(err)};
  }

  std::filesystem::path FDir;
};

// decode gives encode's input back byte for byte, whatever padding the last
// block needed, also when the input itself ends in zero bytes.
TEST_F(CodecToolTest, EncodeThenDecodeGivesTheInputBackInEveryMode) {
  const std::string inputs[] = {
      "",
      "a",
      "seven!!",
      "eight!!!",
      "nine!!!!!",
      "Hint: choose a unit and press Uncomment.",  // 40 bytes: no padding
      std::string("ends in zeros\0\0", 15),
      std::string(1, '\0'),
      std::string(8, '\0'),
      std::string("\xff\0\x01\r\n", 5),
  };
  for (const char* mode : {"ecb", "cbc", "cfb", "ofb"}) {
    for (const std::string& input : inputs) {
      SCOPED_TRACE(std::string(mode) + ", " + std::to_string(input.size()) + " bytes");
      const TRun encoded = Run(std::string("encode --key 'tool key 1' --mode ") + mode, input);
      ASSERT_EQ(encoded.ExitCode, 0) << encoded.Err;
      const TRun decoded = Run("decode --key 'tool key 1'", encoded.Out);
      EXPECT_EQ(decoded.ExitCode, 0) << decoded.Err;
      EXPECT_EQ(decoded.Out, input);
      const TRun clean = Run("decode --clean --key 'tool key 1'", encoded.Out);
      EXPECT_EQ(clean.Out, input);
    }
  }
}

TEST_F(CodecToolTest, GivenIvMakesTheTextRepeatableAndOptionsShowPaddingAndTerminator) {
  const std::string args = "encode --key secret --mode cfb --iv 0001020304050607 --label Hint";
  const TRun first = Run(args, "abc");
  const TRun second = Run(args, "abc");
  ASSERT_EQ(first.ExitCode, 0) << first.Err;
  EXPECT_EQ(first.Out, second.Out);
  // Five zero bytes fill the block, and the header says so.
  EXPECT_EQ(first.Out.rfind("Hint 1,5,0,28.", 0), 0u) << first.Out;
  EXPECT_EQ(Run("decode --key secret --keep-nul", first.Out).Out, std::string("abc\0", 4));
  EXPECT_EQ(Run("decode --key secret --keep-padding", first.Out).Out,
            std::string("abc\0\0\0\0\0", 8));
  EXPECT_EQ(Run("decode --key secret --keep-padding --keep-nul", first.Out).Out,
            std::string("abc\0\0\0\0\0\0", 9));
}

// A text that does not record its padding as encode does (made before encode
// recorded it, or by another tool) is printed whole: only encode's own zeros go.
TEST_F(CodecToolTest, OnlyThePaddingTheHeaderRecordsIsLeftOut) {
  const std::string encoded = Run("encode --key secret --mode ecb --label Hint", "abc").Out;
  ASSERT_EQ(encoded.rfind("Hint 1,5,0,20.", 0), 0u) << encoded;
  const std::string payload = encoded.substr(encoded.find('.'));
  const std::pair<std::string, std::string> cases[] = {
      {"Hint 1,0,0,20", std::string("abc\0\0\0\0\0", 8)},
      {"Hint 1,3,0,20", std::string("abc\0\0", 5)},
      {"Hint 1,6,0,20", std::string("abc\0\0\0\0\0", 8)},  // more than the zeros
      {"Hint 1,9,0,20", std::string("abc\0\0\0\0\0", 8)},  // more than a block
      {"Hint 1,-1,0,20", std::string("abc\0\0\0\0\0", 8)},
  };
  for (const auto& [header, plain] : cases) {
    const TRun decoded = Run("decode --key secret", header + payload);
    EXPECT_EQ(decoded.ExitCode, 0) << header << ": " << decoded.Err;
    EXPECT_EQ(decoded.Out, plain) << header;
  }
}

// Output that cannot be written is an error with the system's reason, not a
// silent status.
TEST_F(CodecToolTest, AFullDeviceIsAnErrorThatSaysSo) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string encoded = Run("encode --key secret --mode ecb", "abc").Out;
  for (const auto& [args, input] :
       {std::pair<std::string, std::string>{"encode --key secret --mode ecb", "abc"},
        {"decode --key secret", encoded}}) {
    const TRun run = Run(args, input, "/dev/full");
    EXPECT_EQ(run.ExitCode, 1) << args;
    EXPECT_NE(run.Err.find("scrivlock-codec: cannot write the output: "), std::string::npos)
        << args << ": " << run.Err;
    EXPECT_NE(run.Err.find(std::strerror(ENOSPC)), std::string::npos) << args << ": " << run.Err;
  }
}

struct FailureCase {
  const char* Args;
  std::string Input;
  const char* Message;
  int Status;  // 1 for a text the cipher refuses, 2 for a wrong command line
};

void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.Args;
}

// An encoded text whose decoded data carry version 1, `mode` and `blocks`.
std::string Forged(uint32_t mode, const std::string& blocks) {
  std::string data;
  for (const uint32_t v : {1u, 0u, mode}) {
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  data += blocks;
  return "L 1,0,0," + std::to_string(data.size()) + "." + scrivlock::codec::PackPayload(data);
}

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
        // a mode byte that names no mode: the payload is no plain text
        FailureCase{"decode --key 'long enough key'", Forged(4, "plain!!!"),
                    "Decoding string error: unknown chaining mode 4.", 1},
        FailureCase{"decode --key 'long enough key'", Forged(255, "plain!!!plain!!!"),
                    "Decoding string error: unknown chaining mode 255.", 1},
        // an empty IV is no IV, not a call for a random one
        FailureCase{"encode --key 'long enough key' --mode cbc --iv ''", "x",
                    "--iv must be 16 hex digits", 2},
        FailureCase{"", "", "A subcommand is required", 2},
        FailureCase{"decode", "x", "--key is required", 2}),
    scrivlock::cipher::TRowName());

}  // namespace
#include "CaseName.h"
#include "Encoder.h"
