#include "cipher/Cipher.h"

#include <cstring>

#include "base/Error.h"

namespace scrivlock::cipher {
namespace {

struct TWords {
  uint16_t W0, W1, W2, W3;
};

TWords Load(const uint8_t* b) {
  return {static_cast<uint16_t>(b[0] | b[1] << 8), static_cast<uint16_t>(b[2] | b[3] << 8),
          static_cast<uint16_t>(b[4] | b[5] << 8), static_cast<uint16_t>(b[6] | b[7] << 8)};
}

void Store(const TWords& w, uint8_t* b) {
  const uint16_t words[4] = {w.W0, w.W1, w.W2, w.W3};
  for (int i = 0; i < 4; ++i) {
    b[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
    b[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
  }
}

// The round's lookups written with the table's fixed 256 x 256 shape: a row
// shift is an addition to the high byte, a column shift one within the low byte.
uint16_t Iterate(uint16_t x, int iterations) {
  for (int i = 0; i <= iterations; ++i) x = SBoxTable[x];
  return x;
}

uint16_t RowShift(uint16_t x, uint8_t shift) {
  return SBoxTable[static_cast<uint16_t>(x + (shift << 8))];
}

uint16_t ColShift(uint16_t x, uint8_t shift) {
  return SBoxTable[(x & 0xFF00) | ((x + shift) & 0xFF)];
}

TWords EncryptRound(const TWords& in, const TSubKey& k) {
  return {
      static_cast<uint16_t>(RowShift(in.W2, k.FRowShift) ^ in.W3 ^ ColShift(in.W0, k.FColShift)),
      in.W2,
      static_cast<uint16_t>(TSBoxes::MulMod(
          static_cast<uint16_t>(Iterate(in.W0, k.FIterations) ^ in.W1), k.FMultiplier)),
      in.W0};
}

TWords DecryptRound(const TWords& in, const TSubKey& k) {
  return {
      in.W3,
      static_cast<uint16_t>(TSBoxes::MulMod(in.W2, k.FMultiplier) ^ Iterate(in.W3, k.FIterations)),
      in.W1,
      static_cast<uint16_t>(ColShift(in.W3, k.FColShift) ^ in.W0 ^ RowShift(in.W1, k.FRowShift))};
}

}  // namespace

void XorBlock(const TCipherBlock& a, const TCipherBlock& b, TCipherBlock& output) {
  for (size_t i = 0; i < output.size(); ++i) output[i] = static_cast<uint8_t>(a[i] ^ b[i]);
}

TVantorCipher::TVantorCipher() {
  PrepareSubKeys();
}

void TVantorCipher::SetKey(std::string_view key) {
  if (key.size() < 6) throw TError(kShortKeyError);
  FKeySchedule.SetKey(key);
  PrepareSubKeys();
}

void TVantorCipher::PrepareSubKeys() {
  for (int r = 1; r <= 16; ++r) {
    TSubKey& e = FEncipherSubKeys[static_cast<size_t>(r - 1)];
    e.SetValue(FKeySchedule.SubKeys(r));
    e.FMultiplier += 1;
    TSubKey& d = FDecipherSubKeys[static_cast<size_t>(r - 1)];
    d.SetValue(FKeySchedule.SubKeys(r));
    d.FMultiplier = FBoxes.Inverse(d.FMultiplier + 1);
  }
}

void TVantorCipher::EncryptBlock(const TCipherBlock& input, TCipherBlock& output) const {
  TWords w = Load(input.data());
  for (const TSubKey& k : FEncipherSubKeys) w = EncryptRound(w, k);
  Store(w, output.data());
}

void TVantorCipher::DecryptBlocks(const uint8_t* input, uint8_t* output, size_t count) const {
  constexpr size_t kSideBySide = 4;
  for (; count >= kSideBySide; count -= kSideBySide) {
    TWords w[kSideBySide];
    for (size_t i = 0; i < kSideBySide; ++i) w[i] = Load(input + 8 * i);
    for (auto k = FDecipherSubKeys.rbegin(); k != FDecipherSubKeys.rend(); ++k) {
      for (TWords& words : w) words = DecryptRound(words, *k);
    }
    for (size_t i = 0; i < kSideBySide; ++i) Store(w[i], output + 8 * i);
    input += 8 * kSideBySide;
    output += 8 * kSideBySide;
  }
  for (; count > 0; --count, input += 8, output += 8) {
    TCipherBlock block;
    std::memcpy(block.data(), input, 8);
    DecryptBlock(block, block);
    std::memcpy(output, block.data(), 8);
  }
}

void TVantorCipher::DecryptBlock(const TCipherBlock& input, TCipherBlock& output) const {
  TWords w = Load(input.data());
  for (auto k = FDecipherSubKeys.rbegin(); k != FDecipherSubKeys.rend(); ++k) {
    w = DecryptRound(w, *k);
  }
  Store(w, output.data());
}

}  // namespace scrivlock::cipher
