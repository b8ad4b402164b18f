#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "CaseName.h"
#include "base/Error.h"
#include "cipher/Cipher.h"
#include "cipher/SubKey.h"

namespace scrivlock::cipher {
namespace {

TCipherBlock RandomBlock(std::mt19937& rng) {
  TCipherBlock block;
  for (auto& b : block) b = static_cast<uint8_t>(rng());
  return block;
}

struct CipherKeyCase {
  size_t Length;
  const char* Error;  // nullptr: accepted
};

class CipherKeyTest : public ::testing::TestWithParam<CipherKeyCase> {};

TEST_P(CipherKeyTest, RefusesKeysOutside6To48AndKeepsTheOldKey) {
  TVantorCipher cipher;
  cipher.SetKey("previous key");
  const TCipherBlock plain{1, 2, 3, 4, 5, 6, 7, 8};
  TCipherBlock before, after;
  cipher.EncryptBlock(plain, before);
  try {
    cipher.SetKey(std::string(GetParam().Length, 'q'));
    EXPECT_EQ(GetParam().Error, nullptr);
    cipher.EncryptBlock(plain, after);
    EXPECT_NE(after, before);
  } catch (const TError& error) {
    ASSERT_NE(GetParam().Error, nullptr) << error.what();
    EXPECT_STREQ(error.what(), GetParam().Error);
    cipher.EncryptBlock(plain, after);
    EXPECT_EQ(after, before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CipherKeyTest,
    ::testing::Values(
        CipherKeyCase{5, "WARNING!: Tembrel Cypher requires a key of at least six characters."},
        CipherKeyCase{0, "WARNING!: Tembrel Cypher requires a key of at least six characters."},
        CipherKeyCase{6, nullptr}, CipherKeyCase{48, nullptr},
        CipherKeyCase{49, "Key must be shorter than 48 characters."}),
    TRowName());

// Deciphering undoes enciphering for many keys and blocks, the unkeyed cipher
// (all subkeys 0) and subkeys whose multiplier field is 63 (multiplier 64).
TEST(VantorCipherTest, DecryptBlockUndoesEncryptBlock) {
  std::mt19937 rng(20240611);
  bool sawMultiplier64 = false;
  for (int k = 0; k < 300; ++k) {
    TVantorCipher cipher;
    if (k > 0) {
      std::string key(6 + rng() % 43, '\0');
      for (char& c : key) c = static_cast<char>(rng());
      cipher.SetKey(key);
    }
    for (int r = 1; r <= 16; ++r) {
      TSubKey subKey;
      subKey.SetValue(cipher.KeySchedule().SubKeys(r));
      sawMultiplier64 = sawMultiplier64 || subKey.FMultiplier == 63;
    }
    for (int i = 0; i < 50; ++i) {
      const TCipherBlock plain = RandomBlock(rng);
      TCipherBlock enciphered, deciphered;
      cipher.EncryptBlock(plain, enciphered);
      cipher.DecryptBlock(enciphered, deciphered);
      ASSERT_EQ(deciphered, plain) << "key " << k;
    }
  }
  EXPECT_TRUE(sawMultiplier64);
}

TEST(VantorCipherTest, SameStorageForInputAndOutput) {
  TVantorCipher cipher;
  cipher.SetKey("in place key");
  const TCipherBlock plain{0xDE, 0xAD, 0xBE, 0xEF, 0, 1, 2, 3};
  TCipherBlock separate, inPlace = plain;
  cipher.EncryptBlock(plain, separate);
  cipher.EncryptBlock(inPlace, inPlace);
  EXPECT_EQ(inPlace, separate);
  cipher.DecryptBlock(inPlace, inPlace);
  EXPECT_EQ(inPlace, plain);
}

// Many blocks at once give what DecryptBlock gives each, for counts around the
// number deciphered side by side, into other storage and in place.
TEST(VantorCipherTest, DecryptBlocksDeciphersEachBlockAsDecryptBlock) {
  TVantorCipher cipher;
  cipher.SetKey("side by side");
  std::mt19937 rng(7);
  for (const size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{9}}) {
    std::vector<uint8_t> input(8 * count), expected(8 * count);
    for (size_t i = 0; i < count; ++i) {
      const TCipherBlock block = RandomBlock(rng);
      TCipherBlock plain;
      cipher.DecryptBlock(block, plain);
      std::copy(block.begin(), block.end(), input.begin() + 8 * i);
      std::copy(plain.begin(), plain.end(), expected.begin() + 8 * i);
    }
    std::vector<uint8_t> separate(8 * count), inPlace = input;
    cipher.DecryptBlocks(input.data(), separate.data(), count);
    cipher.DecryptBlocks(inPlace.data(), inPlace.data(), count);
    EXPECT_EQ(separate, expected) << count << " blocks";
    EXPECT_EQ(inPlace, expected) << count << " blocks, in place";
  }
}

// One enciphering pass written out from the round's definition: catches wrong
// word order, byte order, subkey order or round wiring, which round trips miss.
TEST(VantorCipherTest, EncryptBlockFollowsTheRoundDefinition) {
  TVantorCipher cipher;
  cipher.SetKey("reference key");
  const TSBoxes& boxes = cipher.Boxes();
  for (const TCipherBlock& plain :
       {TCipherBlock{1, 0, 0, 0, 0, 0, 0, 0}, TCipherBlock{0, 0, 0, 0, 0, 0, 0, 0x80},
        TCipherBlock{0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}}) {
    uint16_t w[4];
    for (int i = 0; i < 4; ++i) w[i] = static_cast<uint16_t>(plain[2 * i] | plain[2 * i + 1] << 8);
    for (int r = 1; r <= 16; ++r) {
      TSubKey k;
      k.SetValue(cipher.KeySchedule().SubKeys(r));
      const uint16_t o0 =
          boxes.RowShiftBox(w[2], k.FRowShift) ^ w[3] ^ boxes.ColShiftBox(w[0], k.FColShift);
      const auto o2 = static_cast<uint16_t>(
          boxes.MulMod(boxes.IterateBox(w[0], k.FIterations) ^ w[1], k.FMultiplier + 1));
      const uint16_t o1 = w[2], o3 = w[0];
      w[0] = o0, w[1] = o1, w[2] = o2, w[3] = o3;
    }
    TCipherBlock expected;
    for (int i = 0; i < 4; ++i) {
      expected[2 * i] = static_cast<uint8_t>(w[i] & 0xFF);
      expected[2 * i + 1] = static_cast<uint8_t>(w[i] >> 8);
    }
    TCipherBlock got;
    cipher.EncryptBlock(plain, got);
    EXPECT_EQ(got, expected);
  }
}

TEST(XorBlockTest, XorsByteByByte) {
  const TCipherBlock a{1, 2, 3, 4, 5, 6, 7, 8};
  const TCipherBlock b{0xFF, 0, 0xF0, 0x0F, 1, 2, 4, 8};
  TCipherBlock out;
  XorBlock(a, a, out);
  EXPECT_EQ(out, TCipherBlock{});
  XorBlock(a, b, out);
  EXPECT_EQ(out, (TCipherBlock{0xFE, 2, 0xF3, 0x0B, 4, 4, 3, 0}));
  TCipherBlock alias = a;
  XorBlock(alias, b, alias);
  EXPECT_EQ(alias, out);
}

}  // namespace
}  // namespace scrivlock::cipher
