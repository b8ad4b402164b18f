// The cipher's S-box operations: iterated and shifted lookups in SBoxTable, and
// multiplication modulo the prime 65537 with the inverses that undo it.
#pragma once

#include <array>
#include <cstdint>

#include "base/Error.h"
#include "cipher/StaticTable.h"

namespace scrivlock::cipher {

// Immutable once constructed, so the cipher and its key schedule share one
// instance without coordination. The cipher owns it; the key schedule and its
// sides only refer to it.
class TSBoxes : public TStaticTable {
 public:
  static constexpr const char* kIterationsError =
      "Iteration S-Box works with [1->51] iterations ONLY.";
  static constexpr const char* kNotPrimeError =
      "Fatal: %d is not prime and cannot be used in Modular S-BOX";
  static constexpr const char* kInverseError = "Fatal error building multiplicative inverses";
  static constexpr int32_t kPrime = 65537;

  // Builds the inverses of 1..64 modulo 65537 by the extended Euclidean algorithm
  // and verifies each one. Throws TError(kNotPrimeError formatted with 65537) or
  // TError(kInverseError) if that fails, which it cannot for this prime; both
  // checks run on every construction all the same.
  TSBoxes();

  // The table applied `iterations` + 1 times in a row to `x`.
  // Throws TError(kIterationsError), before any lookup, unless 0 <= iterations <= 51.
  static uint16_t IterateBox(uint16_t x, int16_t iterations) {
    if (iterations < 0 || iterations > 51) ThrowIterationsError();
    for (int i = 0; i <= iterations; ++i) x = Lookup(x / FRows, x % FCols);
    return x;
  }
  // One lookup with the row index (high byte of x) moved by `shift`, mod 256.
  static uint16_t RowShiftBox(uint16_t x, uint8_t shift) {
    return Lookup((x / FRows + shift) % FCols, x % FCols);
  }
  // One lookup with the column index (low byte of x) moved by `shift`, mod 256.
  static uint16_t ColShiftBox(uint16_t x, uint8_t shift) {
    return Lookup(x / FRows, (x % FCols + shift) % FCols);
  }
  // ((x + 1) * multiplier mod 65537) - 1, from the exact product. The 16-bit
  // values stand for the residues 1..65536, so for a multiplier that is not a
  // multiple of the prime the result is in 0..65535 and multiplication is a
  // bijection. REQUIRES: 1 <= multiplier <= 65536.
  static int32_t MulMod(uint16_t x, int32_t multiplier) {
    const uint64_t product = (uint64_t{x} + 1) * static_cast<uint64_t>(multiplier);
    // product <= 2^32 and 2^16 = -1 (mod 65537): lo - hi, brought into 0..65536,
    // is the product mod 65537 with one multiplication instead of a division.
    int32_t r = static_cast<int32_t>(product & 0xFFFF) - static_cast<int32_t>(product >> 16);
    if (r < 0) r += kPrime;
    return r - 1;
  }
  // The inverse of `index` modulo 65537, in 1..65536, so that
  // MulMod(MulMod(x, m), Inverse(m)) == x. REQUIRES: 1 <= index <= 64 (not checked).
  int32_t Inverse(int32_t index) const { return FInverses[static_cast<size_t>(index)]; }

 private:
  [[noreturn]] static void ThrowIterationsError();

  std::array<int32_t, 65> FInverses{};  // entry 0 is never written
};

}  // namespace scrivlock::cipher
