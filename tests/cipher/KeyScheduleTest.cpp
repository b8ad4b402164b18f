#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "CaseName.h"
#include "base/Error.h"
#include "cipher/KeySchedule.h"
#include "cipher/KeyScheduleSide.h"
#include "cipher/SBoxes.h"
#include "cipher/SubKey.h"

namespace scrivlock::cipher {
namespace {

std::array<int32_t, 16> SubKeysOf(const TKeySchedule& schedule) {
  std::array<int32_t, 16> keys{};
  for (int i = 1; i <= 16; ++i) keys[static_cast<size_t>(i - 1)] = schedule.SubKeys(i);
  return keys;
}

struct KeyLengthCase {
  size_t Length;
  bool WithSBoxes;
  const char* Error;  // nullptr: accepted
};

class KeyLengthTest : public ::testing::TestWithParam<KeyLengthCase> {};

TEST_P(KeyLengthTest, ChecksLengthBeforeSBoxesAndKeepsSubKeysOnError) {
  const KeyLengthCase& c = GetParam();
  const TSBoxes boxes;
  TKeySchedule schedule(c.WithSBoxes ? &boxes : nullptr);
  const auto before = SubKeysOf(schedule);
  const std::string key(c.Length, 'k');
  if (c.Error == nullptr) {
    EXPECT_NO_THROW(schedule.SetKey(key));
    EXPECT_NE(SubKeysOf(schedule), before);
    return;
  }
  try {
    schedule.SetKey(key);
    ADD_FAILURE() << "accepted";
  } catch (const TError& error) {
    EXPECT_STREQ(error.what(), c.Error);
  }
  EXPECT_EQ(SubKeysOf(schedule), before);
}

constexpr const char* kShort = "Key must have at least 6 characters.";
constexpr const char* kLong = "Key must be shorter than 48 characters.";
constexpr const char* kNoBoxes = "Must specify S-BOXES.";

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyLengthTest,
    ::testing::Values(KeyLengthCase{0, true, kShort}, KeyLengthCase{5, true, kShort},
                      KeyLengthCase{6, true, nullptr}, KeyLengthCase{48, true, nullptr},
                      KeyLengthCase{49, true, kLong}, KeyLengthCase{5, false, kShort},
                      KeyLengthCase{49, false, kLong}, KeyLengthCase{6, false, kNoBoxes},
                      KeyLengthCase{48, false, kNoBoxes}),
    TRowName());

// The subkeys of one key, pinned: the built-in hint of the Comments window is
// enciphered with this schedule and table, and any change to either would make
// it undecipherable.
TEST(KeyScheduleKnownAnswerTest, GivesTheSubKeysItAlwaysGave) {
  const TSBoxes boxes;
  TKeySchedule schedule(&boxes);
  schedule.SetKey("reference key");
  EXPECT_EQ(SubKeysOf(schedule),
            (std::array<int32_t, 16>{0xD5AB9B, 0xD8320F, 0x150C27, 0x51B73A, 0x5BEE80, 0x18056D,
                                     0x39AC3D, 0x7BF09A, 0x918508, 0x83EEA5, 0x8D6B39, 0x8071BD,
                                     0xD9163A, 0x1FE25C, 0xEA3628, 0x0F028E}));
}

class KeyScheduleTest : public ::testing::Test {
 protected:
  std::array<int32_t, 16> Keyed(const std::string& key) {
    TKeySchedule schedule(&FBoxes);
    schedule.SetKey(key);
    return SubKeysOf(schedule);
  }
  TSBoxes FBoxes;
};

TEST_F(KeyScheduleTest, PaddingMakesKeysEqual) {
  EXPECT_EQ(Keyed("Pascal"), Keyed("PascalR"));
  EXPECT_EQ(Keyed("Pascal"), Keyed("PascalRR"));
  const std::string long45(45, 'x');
  EXPECT_EQ(Keyed(long45), Keyed(long45 + "RRR"));
  EXPECT_NE(Keyed("Pascal"), Keyed("PascalRRR"));  // 9 characters pad to 12
}

TEST_F(KeyScheduleTest, SubKeysAre24BitsAndDependOnTheWholeKey) {
  const std::string keys[] = {"abcdef", "abcdeg", "Tembrel key with blanks",
                              std::string(48, '\xFF'), std::string(6, '\0')};
  std::optional<std::array<int32_t, 16>> previous;
  for (const std::string& key : keys) {
    const auto subKeys = Keyed(key);
    for (const int32_t k : subKeys) {
      EXPECT_GE(k, 0);
      EXPECT_LE(k, 0xFFFFFF);
    }
    if (previous) {
      EXPECT_NE(subKeys, *previous) << key;
    }
    previous = subKeys;
  }
  EXPECT_EQ(Keyed("abcdef"), Keyed("abcdef"));
  // The halves go to different sides, which seed differently.
  EXPECT_NE(Keyed("abcdwxyz"), Keyed("wxyzabcd"));
}

TEST_F(KeyScheduleTest, RekeyingReplacesEverySubKey) {
  TKeySchedule schedule(&FBoxes);
  schedule.SetKey("first key");
  schedule.SetKey("second key");
  EXPECT_EQ(SubKeysOf(schedule), Keyed("second key"));
}

// The two sides stepped by hand: left half to side 0, A before B, the first
// step's words dropped, feeds passed back.
TEST_F(KeyScheduleTest, SubKeysJoinTheSidesOutputsFromTheSecondStepOn) {
  const std::string key = "Delphi7";  // pads to "Delphi7R"
  TKeyScheduleSide a(&FBoxes, 0), b(&FBoxes, 1);
  a.Link(&b);
  b.Link(&a);
  a.SetKey("Delp");
  b.SetKey("hi7R");
  std::array<int32_t, 16> expected{};
  uint16_t feedA = 0, feedB = 0;
  for (int step = 0; step <= 16; ++step) {
    uint16_t outA = 0, outB = 0;
    feedA = a.Next(feedA, outA);
    feedB = b.Next(feedB, outB);
    if (step > 0) expected[static_cast<size_t>(step - 1)] = TKeySchedule::CombineSubKey(outA, outB);
  }
  EXPECT_EQ(Keyed(key), expected);
}

TEST(CombineSubKeyTest, JoinsTheHighByteAndTheMixedMiddleAndLowBytes) {
  EXPECT_EQ(TKeySchedule::CombineSubKey(0x1234, 0xABCD), 0x129FCD);
  EXPECT_EQ(TKeySchedule::CombineSubKey(0xFFFF, 0xFFFF), 0xFF00FF);
  EXPECT_EQ(TKeySchedule::CombineSubKey(0, 0), 0);
}

struct SetValueCase {
  int32_t Value;
  uint8_t RowShift, ColShift, Iterations;
  int32_t Multiplier;
};

class SubKeySetValueTest : public ::testing::TestWithParam<SetValueCase> {};

TEST_P(SubKeySetValueTest, SplitsTheValueIntoItsFields) {
  const SetValueCase& c = GetParam();
  TSubKey subKey;
  subKey.SetValue(c.Value);
  EXPECT_EQ(subKey.FValue, c.Value);
  EXPECT_EQ(subKey.FRowShift, c.RowShift);
  EXPECT_EQ(subKey.FColShift, c.ColShift);
  EXPECT_EQ(subKey.FIterations, c.Iterations);
  EXPECT_EQ(subKey.FMultiplier, c.Multiplier);
}

INSTANTIATE_TEST_SUITE_P(Cases, SubKeySetValueTest,
                         ::testing::Values(SetValueCase{0xFFFFFF, 255, 255, 3, 63},
                                           SetValueCase{0x040000, 0, 0, 0, 1},
                                           SetValueCase{0x030201, 1, 2, 3, 0},
                                           SetValueCase{0, 0, 0, 0, 0}),
                         TRowName());

}  // namespace
}  // namespace scrivlock::cipher
