// One of the key schedule's two coupled generators: a half key in a byte buffer,
// four state words seeded through the S-boxes, three selector words copied from
// its partner and five mixing bytes carried from step to step.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/ByteStream.h"
#include "cipher/SBoxes.h"

namespace scrivlock::cipher {

class TKeyScheduleSide {
 public:
  static constexpr const char* kOddKeyError = "Half key must have an even number of characters.";
  static constexpr const char* kOddStreamError = "El stream debe tener longitud par.";
  static constexpr const char* kRorError = "ROR wrong input size";
  static constexpr const char* kXorError = "XorStreamWith wrong input size";
  static constexpr const char* kNoPartnerError = "Key-schedule side has no partner.";
  static constexpr const char* kLongKeyError = "Key-schedule side holds more than 24 words.";
  // One 2-bit selector per buffer word: three selector words give 24.
  static constexpr int kMaxWords = 24;

  // A side with an empty buffer and no partner. REQUIRES: `sboxes` is not null; it
  // is not owned and must outlive the side. `side` (0 or 1) chooses the seeding rule.
  TKeyScheduleSide(const TSBoxes* sboxes, uint8_t side) : FSBoxes(sboxes), FSide(side) {}
  TKeyScheduleSide(const TKeyScheduleSide&) = delete;
  TKeyScheduleSide& operator=(const TKeyScheduleSide&) = delete;

  // Makes `other` (not owned) this side's partner and returns 2; returns 0 for
  // nullptr and 1 for a side with the same number, changing nothing.
  uint8_t Link(TKeyScheduleSide* other);

  // Writes `text` into the buffer from position 0, one byte a character, and seeds
  // the side with the 16-bit sum of its little-endian words.
  // Throws TError(kOddKeyError), changing nothing, for a text of odd length.
  void SetKey(std::string_view text);

  // W0 = value; W1 = IterateBox(value, 4) on side 0, IterateBox(value, 0) on side 1;
  // W2 = IterateBox(W1, 0); W3 = IterateBox(W2, 0).
  void Seed(uint16_t value);

  // One step: re-seeds with `feed` unless it is 0, copies the partner's W1..W3 as
  // selectors, runs the two S-box passes over the buffer (selector i picks the
  // treatment of word i), rotates and XORs the buffer, and returns the feed word
  // for the next step; `output` receives the word the subkey is built from.
  // REQUIRES: a non-empty buffer. Throws TError(kOddStreamError) for a buffer of
  // odd length, TError(kNoPartnerError) when unlinked and TError(kLongKeyError)
  // past kMaxWords words, each before the buffer or the mixing bytes change.
  uint16_t Next(uint16_t feed, uint16_t& output);

  // XORs each little-endian word from the stream's position on with `value`, then
  // rewinds the stream. Always returns true. Throws TError(kXorError), changing
  // nothing, for a stream of odd length.
  static bool XorStreamWith(TByteStream& stream, uint16_t value);
  // Rotates the whole stream, read as little-endian words, right by one bit: bit 0
  // of each word moves to bit 15 of the next, and bit 0 of the last word to bit 15
  // of the first. Leaves the position at 0 and returns true. REQUIRES: non-empty.
  // Throws TError(kRorError), changing nothing, for a stream of odd length.
  static bool ROR(TByteStream& stream);

  // Read-only views of the state, for the key schedule's tests and diagnostics.
  const std::array<uint16_t, 4>& State() const { return FState; }
  const std::array<uint16_t, 3>& Selectors() const { return FSelectors; }
  const std::array<uint8_t, 5>& Mix() const { return FMix; }
  const TByteStream& KeyStream() const { return FKeyStream; }
  const TKeyScheduleSide* Partner() const { return FPartner; }

 private:
  TKeyScheduleSide* FPartner = nullptr;
  const TSBoxes* FSBoxes;
  TByteStream FKeyStream;
  std::array<uint16_t, 4> FState{};
  std::array<uint16_t, 3> FSelectors{};
  std::array<uint8_t, 5> FMix{};
  uint8_t FSide;
};

}  // namespace scrivlock::cipher
