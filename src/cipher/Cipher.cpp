#include "cipher/Cipher.h"

#include "base/Error.h"

namespace scrivlock::cipher {
namespace {

// Blocks worked on together. The 128 KiB table lives in L2, so one block's chained
// lookups leave the processor waiting; eight independent chains keep it busy
// (measured: 8 lanes beat 4 by about a tenth, 2 lanes lose a third).
constexpr size_t kLanes = 8;

// The round helpers must melt into the lane loop for the lanes to overlap; at -O2
// the compiler keeps them as calls unless told otherwise.
#define SCRIVLOCK_INLINE [[gnu::always_inline]] inline

struct TWords {
  uint16_t W0, W1, W2, W3;
};

SCRIVLOCK_INLINE TWords Load(const uint8_t* b) {
  return {static_cast<uint16_t>(b[0] | b[1] << 8), static_cast<uint16_t>(b[2] | b[3] << 8),
          static_cast<uint16_t>(b[4] | b[5] << 8), static_cast<uint16_t>(b[6] | b[7] << 8)};
}

SCRIVLOCK_INLINE void Store(const TWords& w, uint8_t* b) {
  const uint16_t words[4] = {w.W0, w.W1, w.W2, w.W3};
  for (int i = 0; i < 4; ++i) {
    b[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
    b[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
  }
}

// The round's lookups written with the table's fixed 256 x 256 shape: a row
// shift is an addition to the high byte, a column shift one within the low byte.
// `iterations` is a template argument so that IterateBox's chain unrolls.
template <int iterations>
SCRIVLOCK_INLINE uint16_t Iterate(uint16_t x) {
  for (int i = 0; i <= iterations; ++i) x = SBoxTable[x];
  return x;
}

SCRIVLOCK_INLINE uint16_t RowShift(uint16_t x, uint8_t shift) {
  return SBoxTable[static_cast<uint16_t>(x + (shift << 8))];
}

SCRIVLOCK_INLINE uint16_t ColShift(uint16_t x, uint8_t shift) {
  return SBoxTable[(x & 0xFF00) | ((x + shift) & 0xFF)];
}

template <int iterations>
SCRIVLOCK_INLINE TWords EncryptRound(const TWords& in, const TSubKey& k) {
  return {
      static_cast<uint16_t>(RowShift(in.W2, k.FRowShift) ^ in.W3 ^ ColShift(in.W0, k.FColShift)),
      in.W2,
      static_cast<uint16_t>(TSBoxes::MulMod(
          static_cast<uint16_t>(Iterate<iterations>(in.W0) ^ in.W1), k.FMultiplier)),
      in.W0};
}

template <int iterations>
SCRIVLOCK_INLINE TWords DecryptRound(const TWords& in, const TSubKey& k) {
  return {
      in.W3,
      static_cast<uint16_t>(TSBoxes::MulMod(in.W2, k.FMultiplier) ^ Iterate<iterations>(in.W3)),
      in.W1,
      static_cast<uint16_t>(ColShift(in.W3, k.FColShift) ^ in.W0 ^ RowShift(in.W1, k.FRowShift))};
}

// One round on every lane; the inner loop over the lanes is what lets the
// processor overlap their lookups.
template <size_t lanes, bool encipher, int iterations>
SCRIVLOCK_INLINE void Round(TWords* w, const TSubKey& k) {
  for (size_t b = 0; b < lanes; ++b) {
    w[b] = encipher ? EncryptRound<iterations>(w[b], k) : DecryptRound<iterations>(w[b], k);
  }
}

template <size_t lanes, bool encipher>
void RunBlocks(const std::array<TSubKey, 16>& keys, const uint8_t* input, uint8_t* output) {
  TWords w[lanes];
  for (size_t b = 0; b < lanes; ++b) w[b] = Load(input + 8 * b);
  for (size_t r = 0; r < 16; ++r) {
    const TSubKey& k = encipher ? keys[r] : keys[15 - r];
    // FIterations is 0..3 (two bits of the subkey).
    switch (k.FIterations) {
      case 0:
        Round<lanes, encipher, 0>(w, k);
        break;
      case 1:
        Round<lanes, encipher, 1>(w, k);
        break;
      case 2:
        Round<lanes, encipher, 2>(w, k);
        break;
      default:
        Round<lanes, encipher, 3>(w, k);
        break;
    }
  }
  for (size_t b = 0; b < lanes; ++b) Store(w[b], output + 8 * b);
}

template <bool encipher>
void RunStream(const std::array<TSubKey, 16>& keys, const uint8_t* input, uint8_t* output,
               size_t count) {
  size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    RunBlocks<kLanes, encipher>(keys, input + 8 * i, output + 8 * i);
  }
  for (; i < count; ++i) RunBlocks<1, encipher>(keys, input + 8 * i, output + 8 * i);
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
  RunBlocks<1, true>(FEncipherSubKeys, input.data(), output.data());
}

void TVantorCipher::DecryptBlock(const TCipherBlock& input, TCipherBlock& output) const {
  RunBlocks<1, false>(FDecipherSubKeys, input.data(), output.data());
}

void TVantorCipher::EncryptBlocks(const uint8_t* input, uint8_t* output, size_t count) const {
  RunStream<true>(FEncipherSubKeys, input, output, count);
}

void TVantorCipher::DecryptBlocks(const uint8_t* input, uint8_t* output, size_t count) const {
  RunStream<false>(FDecipherSubKeys, input, output, count);
}

}  // namespace scrivlock::cipher
