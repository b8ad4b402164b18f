#include "cipher/KeyScheduleSide.h"

#include "base/Error.h"

namespace scrivlock::cipher {
namespace {

// One S-box treatment of a key word: r = IterateBox(v, Iterations) goes to the
// mixing bytes Lo and Hi; where Again >= 0, r2 = IterateBox(r, Again) then goes
// to Lo2 and Hi2.
struct TTreatment {
  int16_t Iterations;
  uint8_t Lo, Hi;
  int16_t Again;
  uint8_t Lo2, Hi2;
};

// Indexed by the word's 2-bit selector.
constexpr TTreatment kFirstPass[4] = {
    {7, 1, 0, -1, 0, 0}, {4, 1, 2, -1, 0, 0}, {5, 3, 1, -1, 0, 0}, {0, 3, 4, 10, 4, 0}};
constexpr TTreatment kSecondPass[4] = {
    {7, 3, 4, -1, 0, 0}, {5, 3, 4, -1, 0, 0}, {4, 3, 0, -1, 0, 0}, {7, 4, 0, 1, 4, 1}};

// The buffer is worked on in place as little-endian 16-bit words.
uint16_t WordAt(const char* bytes, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                               static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
}

void SetWordAt(char* bytes, size_t i, uint16_t word) {
  bytes[2 * i] = static_cast<char>(word & 0xFF);
  bytes[2 * i + 1] = static_cast<char>(word >> 8);
}

uint8_t Lo(uint16_t w) {
  return static_cast<uint8_t>(w & 0xFF);
}
uint8_t Hi(uint16_t w) {
  return static_cast<uint8_t>(w >> 8);
}

}  // namespace

uint8_t TKeyScheduleSide::Link(TKeyScheduleSide* other) {
  if (other == nullptr) return 0;
  if (other->FSide == FSide) return 1;
  FPartner = other;
  return 2;
}

void TKeyScheduleSide::SetKey(std::string_view text) {
  if (text.size() % 2 != 0) throw TError(kOddKeyError);
  FKeyStream.Seek(0);
  FKeyStream.Write(text);
  FKeyStream.Seek(0);
  const char* bytes = FKeyStream.Data();
  uint16_t sum = 0;
  for (size_t i = 0; i < text.size() / 2; ++i) sum = static_cast<uint16_t>(sum + WordAt(bytes, i));
  Seed(sum);
}

void TKeyScheduleSide::Seed(uint16_t value) {
  FState[0] = value;
  FState[1] = FSBoxes->IterateBox(value, FSide == 0 ? 4 : 0);
  FState[2] = FSBoxes->IterateBox(FState[1], 0);
  FState[3] = FSBoxes->IterateBox(FState[2], 0);
}

uint16_t TKeyScheduleSide::Next(uint16_t feed, uint16_t& output) {
  if (feed != 0) Seed(feed);
  if (FPartner == nullptr) throw TError(kNoPartnerError);
  FSelectors = {FPartner->FState[1], FPartner->FState[2], FPartner->FState[3]};
  char* bytes = FKeyStream.MutableData();
  if (FKeyStream.Size() % 2 != 0) throw TError(kOddStreamError);
  const auto words = static_cast<size_t>(FKeyStream.Size() / 2);
  if (words > kMaxWords) throw TError(kLongKeyError);

  const TSBoxes& boxes = *FSBoxes;
  auto selector = [&](size_t i) { return (FSelectors[i / 8] >> (2 * (i % 8))) & 3; };
  // The passes only read the buffer. Each word gets the treatment its selector
  // picks; the writes to the mixing bytes happen in the table's order, so a
  // later write to the same byte wins.
  auto pass = [&](const TTreatment(&treatments)[4]) {
    for (size_t i = 0; i < words; ++i) {
      const TTreatment& t = treatments[selector(i)];
      const uint16_t r = boxes.IterateBox(WordAt(bytes, i), t.Iterations);
      FMix[t.Lo] = Lo(r);
      FMix[t.Hi] = Hi(r);
      if (t.Again >= 0) {
        const uint16_t r2 = boxes.IterateBox(r, t.Again);
        FMix[t.Lo2] = Lo(r2);
        FMix[t.Hi2] = Hi(r2);
      }
    }
  };
  pass(kFirstPass);
  ROR(FKeyStream);
  pass(kSecondPass);
  const auto x0 = static_cast<uint16_t>(FMix[0] | FMix[1] << 8);
  const auto x1 = static_cast<uint16_t>(FMix[2] | FMix[3] << 8);
  const auto y = static_cast<uint16_t>(FState[3] ^ FState[2]);
  for (int i = 0; i < 3; ++i) ROR(FKeyStream);
  output = static_cast<uint16_t>(FMix[3] | FMix[4] << 8);
  const auto r = static_cast<uint16_t>(static_cast<uint16_t>(x0 + x1) ^ y);
  XorStreamWith(FKeyStream, r);
  return r;
}

bool TKeyScheduleSide::XorStreamWith(TByteStream& stream, uint16_t value) {
  if (stream.Size() % 2 != 0) throw TError(kXorError);
  char* bytes = stream.MutableData();
  // Whole words from the position on; the side always starts at 0.
  const auto first = static_cast<size_t>(stream.Position() / 2 + stream.Position() % 2);
  const auto words = static_cast<size_t>(stream.Size() / 2);
  for (size_t i = first; i < words; ++i) {
    SetWordAt(bytes, i, static_cast<uint16_t>(WordAt(bytes, i) ^ value));
  }
  stream.Seek(0);
  return true;
}

bool TKeyScheduleSide::ROR(TByteStream& stream) {
  if (stream.Size() % 2 != 0) throw TError(kRorError);
  char* bytes = stream.MutableData();
  const auto words = static_cast<size_t>(stream.Size() / 2);
  uint16_t carry = 0;
  for (size_t i = 0; i < words; ++i) {
    const uint16_t w = WordAt(bytes, i);
    SetWordAt(bytes, i, static_cast<uint16_t>(w >> 1 | carry));
    carry = static_cast<uint16_t>((w & 1) << 15);
  }
  if (words > 0) SetWordAt(bytes, 0, static_cast<uint16_t>(WordAt(bytes, 0) | carry));
  stream.Seek(0);
  return true;
}

}  // namespace scrivlock::cipher
