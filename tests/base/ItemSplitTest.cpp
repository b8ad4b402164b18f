#include <gtest/gtest.h>

#include "base/ItemSplit.h"

namespace scrivlock {
namespace {

using Items = std::vector<std::string>;

struct SplitCase {
  std::string text;
  Items items;
};

const SplitCase kSplits[] = {
    {"", {}},
    {"  \t ", {}},
    {"00000001,Keys  ,00000006", {"00000001", "Keys", "00000006"}},
    {"Commenting File: [Unit1.pas", {"Commenting", "File:", "[Unit1.pas"}},
    {"a,,b", {"a", "", "b"}},
    {"a , , b", {"a", "", "b"}},
    {"a,", {"a"}},
    {"\"x, y\",z", {"x, y", "z"}},
    {"\"say \"\"hi\"\"\" 2", {"say \"hi\"", "2"}},
    {"\"open", {"open"}},
    {"Label 1,2,3,40", {"Label", "1", "2", "3", "40"}},
    {std::string("a,b\0c,d", 7), {"a", "b"}},  // a zero byte ends the text
    {"\xE9t\xE9,x", {"\xE9t\xE9", "x"}},       // bytes above 127 are item bytes
};

TEST(ItemSplitTest, SplitsLikeACommaSeparatedList) {
  for (const SplitCase& c : kSplits) EXPECT_EQ(SplitItems(c.text), c.items) << c.text;
}

TEST(ItemSplitTest, ParsesSignedDecimalIntegersOnly) {
  struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"00000042", true, 42},
               {"-7", true, -7},
               {"+7", true, 7},
               {"2147483647", true, INT32_MAX},
               {"-2147483648", true, INT32_MIN},
               {"2147483648", false, 0},
               {"99999999999999999999", false, 0},
               {"", false, 0},
               {"-", false, 0},
               {"12a", false, 0},
               {"0x10", false, 0},
               {" 1", false, 0}};
  for (const auto& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(ParseInt32(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

}  // namespace
}  // namespace scrivlock
