#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaseName.h"
#include "base/Error.h"
#include "cipher/KeyScheduleSide.h"

namespace scrivlock::cipher {
namespace {

std::string Words(const std::vector<uint16_t>& words) {
  std::string bytes;
  for (const uint16_t w : words) {
    bytes += static_cast<char>(w & 0xFF);
    bytes += static_cast<char>(w >> 8);
  }
  return bytes;
}

struct RorCase {
  std::vector<uint16_t> Input;
  std::vector<uint16_t> Expected;
};

class RorTest : public ::testing::TestWithParam<RorCase> {};

TEST_P(RorTest, RotatesTheWholeBufferRightByOneBit) {
  TByteStream stream(Words(GetParam().Input));
  stream.Seek(1);
  EXPECT_TRUE(TKeyScheduleSide::ROR(stream));
  EXPECT_EQ(stream.View(), Words(GetParam().Expected));
  EXPECT_EQ(stream.Position(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RorTest,
    ::testing::Values(RorCase{{0x1234, 0xABCD}, {0x891A, 0x55E6}}, RorCase{{0x0001}, {0x8000}},
                      RorCase{{0x0001, 0x0000}, {0x0000, 0x8000}},
                      RorCase{{0x0000, 0x0001, 0x0003}, {0x8000, 0x0000, 0x8001}}),
    TRowName());

TEST(XorStreamWithTest, XorsEveryLittleEndianWord) {
  TByteStream stream(std::string("\x01\x02\x03\x04", 4));
  EXPECT_TRUE(TKeyScheduleSide::XorStreamWith(stream, 0x1100));
  EXPECT_EQ(stream.View(), std::string("\x01\x13\x03\x15", 4));
  EXPECT_EQ(stream.Position(), 0);

  TByteStream empty;
  EXPECT_TRUE(TKeyScheduleSide::XorStreamWith(empty, 0xFFFF));
  EXPECT_EQ(empty.Size(), 0);
}

TEST(KeyScheduleSideTest, OddLengthsAreRefusedWithTheBufferUnchanged) {
  const std::string odd = "abc";
  auto expectError = [&](auto operation, const char* message) {
    TByteStream stream(odd);
    try {
      operation(stream);
      ADD_FAILURE() << "accepted an odd length, expected " << message;
    } catch (const TError& error) {
      EXPECT_STREQ(error.what(), message);
    }
    EXPECT_EQ(stream.View(), odd);
  };
  expectError([](TByteStream& s) { TKeyScheduleSide::ROR(s); }, "ROR wrong input size");
  expectError([](TByteStream& s) { TKeyScheduleSide::XorStreamWith(s, 1); },
              "XorStreamWith wrong input size");

  const TSBoxes boxes;
  TKeyScheduleSide side(&boxes, 0);
  EXPECT_THROW(side.SetKey("abcde"), TError);
  EXPECT_EQ(side.KeyStream().Size(), 0);
  EXPECT_EQ(side.State()[0], 0);
}

TEST(KeyScheduleSideTest, LinkAcceptsOnlyASideWithTheOtherNumber) {
  const TSBoxes boxes;
  TKeyScheduleSide a(&boxes, 0), b(&boxes, 1), c(&boxes, 0);
  EXPECT_EQ(a.Link(nullptr), 0);
  EXPECT_EQ(a.Partner(), nullptr);
  EXPECT_EQ(a.Link(&b), 2);
  EXPECT_EQ(a.Partner(), &b);
  EXPECT_EQ(a.Link(&c), 1);
  EXPECT_EQ(a.Partner(), &b);
  EXPECT_EQ(b.Link(&c), 2);
}

TEST(KeyScheduleSideTest, SetKeySeedsWithTheSumOfLittleEndianWords) {
  const TSBoxes boxes;
  TKeyScheduleSide side(&boxes, 1);
  // "AB" is 0x4241 and "\xFF\xBD" 0xBDFF: the sum wraps to 0x0040.
  side.SetKey("AB\xFF\xBD");
  EXPECT_EQ(side.KeyStream().View(), "AB\xFF\xBD");
  EXPECT_EQ(side.State()[0], 0x0040);
}

TEST(KeyScheduleSideTest, SidesDeriveTheirStateDifferentlyFromOneSeed) {
  const TSBoxes boxes;
  TKeyScheduleSide zero(&boxes, 0), one(&boxes, 1);
  zero.Seed(0x1234);
  one.Seed(0x1234);
  EXPECT_EQ(zero.State()[0], 0x1234);
  EXPECT_EQ(one.State()[0], 0x1234);
  EXPECT_EQ(zero.State()[1], TSBoxes::IterateBox(0x1234, 4));
  EXPECT_EQ(one.State()[1], SBoxTable[0x1234]);
  for (const TKeyScheduleSide* side : {&zero, &one}) {
    EXPECT_EQ(side->State()[2], SBoxTable[side->State()[1]]);
    EXPECT_EQ(side->State()[3], SBoxTable[side->State()[2]]);
  }
}

class LinkedSidesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FA.Link(&FB), 2);
    ASSERT_EQ(FB.Link(&FA), 2);
    FA.SetKey("KeyHalfA");
    FB.SetKey("KeyHalfB");
  }
  TSBoxes FBoxes;
  TKeyScheduleSide FA{&FBoxes, 0};
  TKeyScheduleSide FB{&FBoxes, 1};
};

TEST_F(LinkedSidesTest, ZeroFeedKeepsTheStateAndNonzeroFeedReseeds) {
  const auto before = FA.State();
  uint16_t output = 0;
  FA.Next(0, output);
  EXPECT_EQ(FA.State(), before);
  FA.Next(0x2222, output);
  EXPECT_EQ(FA.State()[0], 0x2222);
  EXPECT_EQ(FA.State()[1], TSBoxes::IterateBox(0x2222, 4));
}

TEST_F(LinkedSidesTest, SelectorsAreThePartnersWordsAtTheTimeOfTheCall) {
  uint16_t output = 0;
  FB.Next(0x4321, output);  // the partner re-seeds first
  FA.Next(0, output);
  EXPECT_EQ(FA.Selectors()[0], FB.State()[1]);
  EXPECT_EQ(FA.Selectors()[1], FB.State()[2]);
  EXPECT_EQ(FA.Selectors()[2], FB.State()[3]);
}

TEST_F(LinkedSidesTest, StepRotatesAndXorsTheBufferAndReturnsItsWords) {
  EXPECT_EQ(FA.Mix(), (std::array<uint8_t, 5>{}));
  for (int step = 0; step < 5; ++step) {
    TByteStream expected(FA.KeyStream().View());
    uint16_t output = 0;
    const uint16_t r = FA.Next(static_cast<uint16_t>(step * 0x1111), output);
    const auto& m = FA.Mix();
    const auto& w = FA.State();
    EXPECT_EQ(output, m[3] | m[4] << 8);
    EXPECT_EQ(r, static_cast<uint16_t>((m[0] | m[1] << 8) + (m[2] | m[3] << 8)) ^ w[3] ^ w[2]);
    for (int i = 0; i < 4; ++i) TKeyScheduleSide::ROR(expected);
    TKeyScheduleSide::XorStreamWith(expected, r);
    EXPECT_EQ(FA.KeyStream().View(), expected.View()) << "step " << step;
  }
}

TEST(KeyScheduleSideTest, NextNeedsAPartner) {
  const TSBoxes boxes;
  TKeyScheduleSide side(&boxes, 0);
  side.SetKey("abcd");
  uint16_t output = 0;
  EXPECT_THROW(side.Next(0, output), TError);
  EXPECT_EQ(side.KeyStream().View(), "abcd");
}

// The treatment table: for each selector, the lookups of each pass and the mixing
// bytes that take the low and high bytes of their results, in order.
struct Write {
  int Iterations;  // of IterateBox; applied to the word, then to the previous result
  int LoByte;
  int HiByte;
};

struct TreatmentCase {
  unsigned Selector;
  std::vector<Write> First;
  std::vector<Write> Second;
};

class TreatmentTest : public ::testing::TestWithParam<TreatmentCase> {};

void Apply(const std::vector<Write>& writes, uint16_t v, std::array<uint8_t, 5>& mix) {
  uint16_t r = v;
  for (const Write& w : writes) {
    r = TSBoxes::IterateBox(r, static_cast<int16_t>(w.Iterations));
    mix[static_cast<size_t>(w.LoByte)] = static_cast<uint8_t>(r & 0xFF);
    mix[static_cast<size_t>(w.HiByte)] = static_cast<uint8_t>(r >> 8);
  }
}

TEST_P(TreatmentTest, SelectorPicksTheTreatmentOfAOneWordBuffer) {
  const TreatmentCase& c = GetParam();
  const TSBoxes boxes;
  // Find a partner seed whose W1 selects this treatment for word 0.
  TKeyScheduleSide partner(&boxes, 1);
  uint16_t seed = 1;
  for (partner.Seed(seed); (partner.State()[1] & 3) != c.Selector; partner.Seed(++seed)) {
  }
  TKeyScheduleSide side(&boxes, 0);
  ASSERT_EQ(side.Link(&partner), 2);
  side.SetKey("Qz");
  const auto word = static_cast<uint16_t>('Q' | 'z' << 8);

  std::array<uint8_t, 5> mix{};
  Apply(c.First, word, mix);
  Apply(c.Second, static_cast<uint16_t>(word >> 1 | (word & 1) << 15), mix);
  uint16_t output = 0;
  side.Next(0, output);
  EXPECT_EQ(side.Mix(), mix);
}

INSTANTIATE_TEST_SUITE_P(Selectors, TreatmentTest,
                         ::testing::Values(TreatmentCase{0, {{7, 1, 0}}, {{7, 3, 4}}},
                                           TreatmentCase{1, {{4, 1, 2}}, {{5, 3, 4}}},
                                           TreatmentCase{2, {{5, 3, 1}}, {{4, 3, 0}}},
                                           TreatmentCase{
                                               3, {{0, 3, 4}, {10, 4, 0}}, {{7, 4, 0}, {1, 4, 1}}}),
                         TRowName());

}  // namespace
}  // namespace scrivlock::cipher
