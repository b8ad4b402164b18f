// The key schedule: a key text of 6 to 48 characters in, 16 round subkeys of 24
// bits out, made by two coupled key-schedule sides stepped together.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "cipher/SBoxes.h"

namespace scrivlock::cipher {

class TKeySchedule {
 public:
  static constexpr const char* kShortKeyError = "Key must have at least 6 characters.";
  static constexpr const char* kLongKeyError = "Key must be shorter than 48 characters.";
  static constexpr const char* kNoSBoxesError = "Must specify S-BOXES.";
  static constexpr const char* kLinkError = "Could not build SubKeys.";
  static constexpr int kMinKeyLength = 6;
  static constexpr int kMaxKeyLength = 48;

  // A schedule with all subkeys 0. `sboxes` is not owned and must outlive the
  // schedule; nullptr is allowed, and then SetKey refuses every valid key.
  explicit TKeySchedule(const TSBoxes* sboxes) : FSBoxes(sboxes) {}

  // Derives subkeys 1..16 from `key`: pads a copy with "R" to a multiple of 4
  // characters, gives the left half to side 0 and the right half to side 1, and
  // steps them 17 times, joining each step's outputs after the first.
  // Throws, in this order and with the subkeys unchanged: TError(kShortKeyError)
  // below 6 characters, TError(kLongKeyError) above 48, TError(kNoSBoxesError)
  // without S-boxes. An error of the sides (which the checked lengths rule out) is
  // swallowed: subkeys written before it keep their new values.
  void SetKey(std::string_view key);

  // Subkey `index`, 0..0xFFFFFF. REQUIRES: 1 <= index <= 16.
  int32_t SubKeys(int index) const { return FSubKeys[static_cast<size_t>(index - 1)]; }

  // (hi(a) << 16) | ((lo(a) ^ hi(b)) << 8) | lo(b), where hi and lo are bytes.
  static int32_t CombineSubKey(uint16_t a, uint16_t b) {
    return (a >> 8) << 16 | ((a & 0xFF) ^ (b >> 8)) << 8 | (b & 0xFF);
  }

 private:
  const TSBoxes* FSBoxes;
  std::array<int32_t, 16> FSubKeys{};  // subkeys 1..16 at indices 0..15
};

}  // namespace scrivlock::cipher
