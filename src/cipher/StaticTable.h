// The cipher's fixed substitution table and its cell reader.
#pragma once

#include <cstdint>

namespace scrivlock::cipher {

inline constexpr int32_t kSBoxEntries = 65536;

// 256 rows of 256 unsigned 16-bit entries, row after row. Constant data compiled
// from src/cipher/data/SBoxTable.bin by the build: it exists from load time and
// needs no initialisation code. Its values follow no rule and repeat; nothing in
// the cipher ever inverts it.
extern const uint16_t SBoxTable[kSBoxEntries];

// The table's dimensions and cell reader. Every instance reads the one shared
// SBoxTable; an instance has no state of its own.
class TStaticTable {
 public:
  // The dimensions are fixed; as compile-time constants the divisions by them in
  // the hot loops become shifts and masks.
  static constexpr int32_t FRows = 256;  // divisor: 16-bit value -> row index
  static constexpr int32_t FCols = 256;  // modulus: 16-bit value -> column index

  // The cell in row `row`, column `col`. REQUIRES: row < 256 and col < 256 (not
  // checked; the row stride is always 256 entries).
  static uint16_t Lookup(uint32_t row, uint32_t col) { return SBoxTable[row * 256 + col]; }
};

}  // namespace scrivlock::cipher
