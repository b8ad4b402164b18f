// The block cipher: 64-bit blocks, 16 rounds over four 16-bit words, keyed by a
// text key through the key schedule.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "cipher/KeySchedule.h"
#include "cipher/SBoxes.h"
#include "cipher/SubKey.h"

namespace scrivlock::cipher {

// Eight bytes; the rounds read them as four little-endian 16-bit words W0..W3 at
// offsets 0, 2, 4, 6 (byte 0 is the low byte of W0, byte 7 the high byte of W3).
using TCipherBlock = std::array<uint8_t, 8>;

// output = a XOR b, byte by byte. `output` may be the same storage as `a` or `b`.
void XorBlock(const TCipherBlock& a, const TCipherBlock& b, TCipherBlock& output);

// Owns its S-boxes and its key schedule. Not copyable (the schedule refers to the
// S-boxes it owns). One object serves one thread at a time.
class TVantorCipher {
 public:
  static constexpr const char* kShortKeyError =
      "WARNING!: Tembrel Cypher requires a key of at least six characters.";

  // Builds the S-boxes (with their inverse table, whose checks may throw) and an
  // unkeyed schedule: all subkeys 0, under which the cipher still works.
  TVantorCipher();
  TVantorCipher(const TVantorCipher&) = delete;
  TVantorCipher& operator=(const TVantorCipher&) = delete;
  virtual ~TVantorCipher() = default;

  // Derives the 16 subkeys from `key`. Throws TError(kShortKeyError) below 6
  // characters and the schedule's TError(TKeySchedule::kLongKeyError) above 48;
  // either way the subkeys stay as they were.
  void SetKey(std::string_view key);

  // 16 enciphering rounds, subkeys 1 to 16. `output` may be `input`.
  void EncryptBlock(const TCipherBlock& input, TCipherBlock& output) const;
  // 16 deciphering rounds, subkeys 16 down to 1; undoes EncryptBlock under the
  // same key. `output` may be `input`.
  void DecryptBlock(const TCipherBlock& input, TCipherBlock& output) const;
  // DecryptBlock of each of `count` consecutive blocks at `input`, into as many
  // at `output`, which may be `input`. The blocks are independent, so several
  // go through the rounds side by side: a round's table lookups wait on each
  // other within a block, not across blocks.
  void DecryptBlocks(const uint8_t* input, uint8_t* output, size_t count) const;

  const TSBoxes& Boxes() const { return FBoxes; }
  const TKeySchedule& KeySchedule() const { return FKeySchedule; }

 private:
  void PrepareSubKeys();

  TSBoxes FBoxes;
  TKeySchedule FKeySchedule{&FBoxes};
  // Each round's subkey unpacked once per key rather than once per block: the
  // multiplier already raised to 1..64 for enciphering, and replaced by its
  // inverse for deciphering (index 0 is round 1).
  std::array<TSubKey, 16> FEncipherSubKeys{};
  std::array<TSubKey, 16> FDecipherSubKeys{};
};

}  // namespace scrivlock::cipher
