#include <gtest/gtest.h>

#include "base/FileNames.h"

namespace scrivlock {
namespace {

struct NameCase {
  const char* path;
  const char* name;
  const char* ext;
  const char* folder;
};

const NameCase kNames[] = {
    {"C:\\src\\Unit1.pas", "Unit1.pas", ".pas", "C:\\src\\"},
    {"/home/me/Unit1.PAS", "Unit1.PAS", ".PAS", "/home/me/"},
    {"C:Unit1.pas", "Unit1.pas", ".pas", "C:"},
    {"Unit1", "Unit1", "", ""},
    {"/src.d/Unit1", "Unit1", "", "/src.d/"},  // a dot in the folder is no extension
    {"a.b.pas", "a.b.pas", ".pas", ""},
    {"/src/", "", "", "/src/"},
};

TEST(FileNamesTest, SplitsFolderNameAndExtension) {
  for (const NameCase& c : kNames) {
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
  }
}

TEST(FileNamesTest, ComparesWithoutLetterCase) {
  EXPECT_TRUE(SameText("C:\\Src\\UNIT1.pas", "c:\\src\\unit1.PAS"));
  EXPECT_FALSE(SameText("Unit1.pas", "Unit2.pas"));
  EXPECT_FALSE(SameText("Unit1.pas", "Unit1.pa"));
  EXPECT_EQ(UpperCase("Unit1.pas"), "UNIT1.PAS");
}

}  // namespace
}  // namespace scrivlock
