#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hosts/common/LazarusProject.h"

namespace scrivlock::hosts {
namespace {

TEST(LazarusProjectTest, ReadsTheSyntaxModeOrLazarussDefault) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(<CompilerOptions><Parsing><SyntaxOptions><SyntaxMode Value="Delphi"/>)", "delphi"},
      {R"(<SyntaxMode Value="ObjFPC"/>)", "objfpc"},
      {R"(<SyntaxMode   Value="tp" />)", "tp"},
      {R"(<CompilerOptions><Version Value="11"/></CompilerOptions>)", "objfpc"},
      {R"(<SyntaxMode/><Other Value="delphi"/>)", "objfpc"},
      {R"(<SyntaxMode Value="delphi)", "delphi"},
      {"", "objfpc"},
  };
  for (const auto& [lpi, mode] : cases) EXPECT_EQ(LazarusSyntaxMode(lpi), mode) << lpi;
}

TEST(LazarusProjectTest, TheFolderWithoutAProjectHasNoMode) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("scrivlock-lpi-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  EXPECT_EQ(FolderSyntaxMode(folder.string()), "");
  std::ofstream(folder / "b.lpi") << R"(<SyntaxMode Value="Delphi"/>)";
  std::ofstream(folder / "a.LPI") << "<CONFIG/>";
  EXPECT_EQ(FolderSyntaxMode(folder.string()), "objfpc");  // the first by name
  fs::remove(folder / "a.LPI");
  EXPECT_EQ(FolderSyntaxMode(folder.string() + "/"), "delphi");
  EXPECT_EQ(FolderSyntaxMode((folder / "missing").string()), "");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace scrivlock::hosts
