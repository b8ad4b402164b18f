#include "cipher/KeyScheduleSide.h"

#include "base/Error.h"

namespace scrivlock::cipher {
namespace {

// The buffer is worked on in place as little-endian 16-bit words.
uint16_t WordAt(const std::string& bytes, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                               static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
}

void SetWordAt(std::string& bytes, size_t i, uint16_t word) {
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
  const std::string& bytes = FKeyStream.Bytes();
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
  std::string& bytes = FKeyStream.Bytes();
  if (bytes.size() % 2 != 0) throw TError(kOddStreamError);
  const size_t words = bytes.size() / 2;
  if (words > kMaxWords) throw TError(kLongKeyError);

  const TSBoxes& boxes = *FSBoxes;
  auto selector = [&](size_t i) { return (FSelectors[i / 8] >> (2 * (i % 8))) & 3; };
  // The passes only read the buffer; the writes to the mixing bytes happen in the
  // order of the treatment table, so a later write to the same byte wins.
  for (size_t i = 0; i < words; ++i) {
    const uint16_t v = WordAt(bytes, i);
    uint16_t r;
    switch (selector(i)) {
      case 0:
        r = boxes.IterateBox(v, 7);
        FMix[1] = Lo(r);
        FMix[0] = Hi(r);
        break;
      case 1:
        r = boxes.IterateBox(v, 4);
        FMix[1] = Lo(r);
        FMix[2] = Hi(r);
        break;
      case 2:
        r = boxes.IterateBox(v, 5);
        FMix[3] = Lo(r);
        FMix[1] = Hi(r);
        break;
      default: {
        r = boxes.IterateBox(v, 0);
        FMix[3] = Lo(r);
        FMix[4] = Hi(r);
        const uint16_t r2 = boxes.IterateBox(r, 10);
        FMix[4] = Lo(r2);
        FMix[0] = Hi(r2);
        break;
      }
    }
  }
  ROR(FKeyStream);
  for (size_t i = 0; i < words; ++i) {
    const uint16_t v = WordAt(bytes, i);
    uint16_t r;
    switch (selector(i)) {
      case 0:
        r = boxes.IterateBox(v, 7);
        FMix[3] = Lo(r);
        FMix[4] = Hi(r);
        break;
      case 1:
        r = boxes.IterateBox(v, 5);
        FMix[3] = Lo(r);
        FMix[4] = Hi(r);
        break;
      case 2:
        r = boxes.IterateBox(v, 4);
        FMix[3] = Lo(r);
        FMix[0] = Hi(r);
        break;
      default: {
        r = boxes.IterateBox(v, 7);
        FMix[4] = Lo(r);
        FMix[0] = Hi(r);
        const uint16_t r2 = boxes.IterateBox(r, 1);
        FMix[4] = Lo(r2);
        FMix[1] = Hi(r2);
        break;
      }
    }
  }
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
  std::string& bytes = stream.Bytes();
  // Whole words from the position on; the side always starts at 0.
  const auto first = static_cast<size_t>(stream.Position() / 2 + stream.Position() % 2);
  const size_t words = bytes.size() / 2;
  for (size_t i = first; i < words; ++i) {
    SetWordAt(bytes, i, static_cast<uint16_t>(WordAt(bytes, i) ^ value));
  }
  stream.Seek(0);
  return true;
}

bool TKeyScheduleSide::ROR(TByteStream& stream) {
  if (stream.Size() % 2 != 0) throw TError(kRorError);
  std::string& bytes = stream.Bytes();
  const size_t words = bytes.size() / 2;
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
