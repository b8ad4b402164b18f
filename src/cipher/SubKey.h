// One round's subkey, unpacked into the fields the round uses.
#pragma once

#include <cstdint>

namespace scrivlock::cipher {

struct TSubKey {
  int32_t FValue = 0;
  uint8_t FRowShift = 0;    // bits 0-7: the shift for RowShiftBox
  uint8_t FColShift = 0;    // bits 8-15: the shift for ColShiftBox
  uint8_t FIterations = 0;  // bits 16-17: the iteration count for IterateBox
  // Bits 18-23 (0..63); the block cipher rewrites it into its MulMod multiplier.
  int32_t FMultiplier = 0;

  // Stores `value` and splits it into the fields. The divisions are signed and
  // round towards zero; for the schedule's values 0..0xFFFFFF that makes the
  // fields plain bit fields.
  void SetValue(int32_t value) {
    FValue = value;
    FRowShift = static_cast<uint8_t>(value & 0xFF);
    FColShift = static_cast<uint8_t>((value / 256) & 0xFF);
    FIterations = static_cast<uint8_t>((value / 65536) & 3);
    FMultiplier = (value / 262144) & 63;
  }
};

}  // namespace scrivlock::cipher
