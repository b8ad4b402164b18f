// A commenting module is a unit of the project and goes through version
// control like any other: with text=auto, git hands both files back with LF.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SourceTestUtil.h"

namespace scrivlock::source {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string AllLf(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return text;
}

TEST(GitRoundTripTest, RestoresAUnitAndModuleCommittedWithTextAutoAndCloned) {
  if (std::system("git --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "git is missing";
  const std::string unit =
      "unit A;{ main }\r\n// line one\r\n(* paren *){}x//\r\n{ two\r\nlines }(* a (* b *)end.";
  const auto u = test::Uncomment(unit);
  ASSERT_TRUE(u.ok);

  const fs::path dir = fs::temp_directory_path() / ("scrivlock-git-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "work");
  WriteFile(dir / "work" / ".gitattributes", "* text=auto\n");
  WriteFile(dir / "work" / "Unit1.pas", u.stripped);
  WriteFile(dir / "work" / "Unit2.pas", u.module);
  const std::string git =
      "git -c user.name=test -c user.email=test@example.com -c core.eol=lf "
      "-c core.autocrlf=false -c init.defaultBranch=main ";
  const std::string script = "cd '" + dir.string() + "/work' && " + git + "init -q && " + git +
                             "add . && " + git + "commit -q -m units && cd .. && " + git +
                             "clone -q work clone";
  ASSERT_EQ(std::system(script.c_str()), 0) << script;

  const std::string stripped = ReadFile(dir / "clone" / "Unit1.pas");
  const std::string module = ReadFile(dir / "clone" / "Unit2.pas");
  fs::remove_all(dir);
  ASSERT_EQ(module, AllLf(u.module)) << "git left the line breaks as they were";
  ASSERT_EQ(stripped, AllLf(u.stripped));

  TSourceClass processor;
  TByteStream s(stripped), m(module), restored;
  ASSERT_TRUE(processor.ReComment(s, m, restored)) << processor.LastStop().Describe();
  EXPECT_EQ(restored.View(), AllLf(unit));
}

}  // namespace
}  // namespace scrivlock::source
