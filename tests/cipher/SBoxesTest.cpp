#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "CaseName.h"
#include "base/Error.h"
#include "cipher/SBoxes.h"

namespace scrivlock::cipher {
namespace {

// The signed 32-bit wrap rule by which MulMod could also be computed: the product
// wraps, and 2^32 = 1 (mod 65537) makes the negative branch come out right.
int32_t WrapRuleMulMod(uint16_t x, int32_t multiplier) {
  const auto t =
      static_cast<int32_t>(static_cast<uint32_t>(x + 1) * static_cast<uint32_t>(multiplier));
  return t >= 0 ? t % 65537 - 1 : 65537 - (-static_cast<int64_t>(t)) % 65537;
}

TEST(SBoxTableTest, IsTheDataFileInLittleEndianOrder) {
  std::ifstream file(SCRIVLOCK_SBOX_DATA, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 2u * kSBoxEntries);
  for (int i = 0; i < kSBoxEntries; ++i) {
    const auto expected = static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                                static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    ASSERT_EQ(SBoxTable[i], expected) << "entry " << i;
  }
}

TEST(SBoxTableTest, LookupReadsRowAfterRow) {
  EXPECT_EQ(TStaticTable::Lookup(0, 0), SBoxTable[0]);
  EXPECT_EQ(TStaticTable::Lookup(1, 0), SBoxTable[256]);
  EXPECT_EQ(TStaticTable::Lookup(0x12, 0x34), SBoxTable[0x1234]);
  EXPECT_EQ(TStaticTable::Lookup(255, 255), SBoxTable[65535]);
}

class SBoxesTest : public ::testing::Test {
 protected:
  TSBoxes FBoxes;
};

TEST_F(SBoxesTest, IterateBoxAppliesTheTableIterationsPlusOneTimes) {
  for (const uint16_t x : {0x0000, 0x1234, 0xFFFF, 0x8001}) {
    uint16_t expected = x;
    for (int16_t iterations = 0; iterations <= 51; ++iterations) {
      expected = SBoxTable[expected];
      EXPECT_EQ(TSBoxes::IterateBox(x, iterations), expected) << x << " x" << iterations;
    }
  }
}

TEST_F(SBoxesTest, IterateBoxRefusesCountsOutside0To51) {
  for (const int16_t iterations : {-1, 52, 1000}) {
    try {
      TSBoxes::IterateBox(1, iterations);
      ADD_FAILURE() << iterations << " accepted";
    } catch (const TError& error) {
      EXPECT_STREQ(error.what(), "Iteration S-Box works with [1->51] iterations ONLY.");
    }
  }
}

struct ShiftCase {
  uint16_t X;
  uint8_t Shift;
  bool Row;
  int Entry;
};

class ShiftBoxTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftBoxTest, LooksUpTheShiftedCell) {
  const ShiftCase& c = GetParam();
  const uint16_t got =
      c.Row ? TSBoxes::RowShiftBox(c.X, c.Shift) : TSBoxes::ColShiftBox(c.X, c.Shift);
  EXPECT_EQ(got, SBoxTable[c.Entry]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShiftBoxTest,
    ::testing::Values(ShiftCase{0x1234, 0, true, 0x1234}, ShiftCase{0x1234, 0, false, 0x1234},
                      ShiftCase{0x1234, 1, true, 0x1334}, ShiftCase{0x1234, 1, false, 0x1235},
                      // the row wraps, the column wraps within its row
                      ShiftCase{0xFF10, 0x20, true, 0x1F10}, ShiftCase{0x12F0, 0x20, false, 0x1210},
                      ShiftCase{0xFFFF, 0xFF, true, 0xFEFF},
                      ShiftCase{0xFFFF, 0xFF, false, 0xFFFE}),
    TRowName());

struct MulModCase {
  uint16_t X;
  int32_t Multiplier;
  int32_t Expected;
};

class MulModTest : public ::testing::TestWithParam<MulModCase> {};

TEST_P(MulModTest, MultipliesModulo65537) {
  const MulModCase& c = GetParam();
  EXPECT_EQ(TSBoxes::MulMod(c.X, c.Multiplier), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MulModTest,
                         ::testing::Values(MulModCase{0, 2, 1}, MulModCase{65535, 2, 65534},
                                           MulModCase{1023, 64, 65535},
                                           MulModCase{65535, 64, 65472},
                                           // the product passes 2^31: undoes MulMod(65535, 2)
                                           MulModCase{65534, 32769, 65535},
                                           MulModCase{65535, 64513, 1023},
                                           // 65536 * 65536 = 2^32 = 1 (mod 65537)
                                           MulModCase{65535, 65536, 0}),
                         TRowName());

TEST_F(SBoxesTest, MulModByOneIsTheIdentity) {
  for (int x = 0; x <= 0xFFFF; ++x) ASSERT_EQ(TSBoxes::MulMod(static_cast<uint16_t>(x), 1), x);
}

TEST_F(SBoxesTest, WrapRuleAgreesOnTheMultipliersTheCipherUsesButNotEverywhere) {
  for (int32_t m = 1; m <= 64; ++m) {
    for (const int32_t multiplier : {m, FBoxes.Inverse(m)}) {
      for (int x = 0; x <= 0xFFFF; ++x) {
        const auto x16 = static_cast<uint16_t>(x);
        ASSERT_EQ(TSBoxes::MulMod(x16, multiplier), WrapRuleMulMod(x16, multiplier))
            << x << " * " << multiplier;
      }
    }
  }
  // Where the wrapped product is 0, the wrap rule leaves the 16-bit range.
  EXPECT_EQ(WrapRuleMulMod(65535, 65536), -1);
  EXPECT_EQ(TSBoxes::MulMod(65535, 65536), 0);
}

struct InverseCase {
  int32_t Index;
  int32_t Expected;
};

class InverseTest : public ::testing::TestWithParam<InverseCase> {};

TEST_P(InverseTest, HoldsTheInverseModulo65537) {
  const TSBoxes boxes;
  EXPECT_EQ(boxes.Inverse(GetParam().Index), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, InverseTest,
                         ::testing::Values(InverseCase{0, 0}, InverseCase{1, 1},
                                           InverseCase{2, 32769}, InverseCase{3, 21846},
                                           InverseCase{4, 49153}, InverseCase{5, 26215},
                                           InverseCase{63, 38490}, InverseCase{64, 64513}),
                         TRowName());

TEST_F(SBoxesTest, InverseMultiplierUndoesEveryMultiplication) {
  for (int32_t m = 1; m <= 64; ++m) {
    const int32_t inverse = FBoxes.Inverse(m);
    for (int x = 0; x <= 0xFFFF; ++x) {
      const int32_t y = TSBoxes::MulMod(static_cast<uint16_t>(x), m);
      ASSERT_GE(y, 0);
      ASSERT_LE(y, 0xFFFF);
      ASSERT_EQ(TSBoxes::MulMod(static_cast<uint16_t>(y), inverse), x) << x << " * " << m;
    }
  }
}

}  // namespace
}  // namespace scrivlock::cipher
