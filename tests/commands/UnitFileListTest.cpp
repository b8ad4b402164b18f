#include <gtest/gtest.h>

#include "commands/UnitFileList.h"

namespace scrivlock::commands {
namespace {

TEST(UnitFileListTest, KeepsOrderAndDuplicatesAndFindsRegardlessOfCase) {
  TUnitFileList list;
  list.Add("C:\\P\\Unit1.pas");
  list.Add("/p/Main.PAS");
  list.Add("c:\\p\\unit1.pas");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[2], "c:\\p\\unit1.pas");
  EXPECT_EQ(list.IndexOf("C:\\P\\UNIT1.PAS"), 0);
  EXPECT_EQ(list.IndexOf("/p/main.pas"), 1);
  EXPECT_EQ(list.IndexOf("/p/Other.pas"), -1);

  EXPECT_TRUE(list.Remove("C:\\p\\Unit1.PAS"));  // the first match only
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], "/p/Main.PAS");
  EXPECT_EQ(list[1], "c:\\p\\unit1.pas");
  EXPECT_FALSE(list.Remove("/p/Other.pas"));
  EXPECT_EQ(list.Count(), 2);
}

}  // namespace
}  // namespace scrivlock::commands
