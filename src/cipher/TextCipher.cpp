#include "cipher/TextCipher.h"

#include <cstring>
#include <exception>
#include <vector>

#include "base/Error.h"
#include "base/ItemSplit.h"

namespace scrivlock::cipher {
namespace {

constexpr size_t kBlock = 8;
constexpr size_t kHeaderSize = 12;
// Blocks handed to the block cipher at once in the modes whose blocks are
// independent (ECB, CBC, CFB); a multiple of its lane count.
constexpr size_t kChunkBlocks = 16;

bool InAlphabet(char c) {
  return c >= ';' && c <= 'z';
}

int32_t ParseItem(const std::string& item) {
  int32_t value = 0;
  if (!ParseInt32(item, value)) {
    throw TError("'" + item + "' is not a valid integer value");
  }
  return value;
}

uint32_t ReadUInt32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void Xor8(uint8_t* target, const uint8_t* with) {
  for (size_t i = 0; i < kBlock; ++i) target[i] ^= with[i];
}

}  // namespace

void UnpackGroup(TByteStream& stream, const std::array<uint8_t, 4>& group) {
  const unsigned s0 = group[0], s1 = group[1], s2 = group[2], s3 = group[3];
  const char bytes[3] = {
      static_cast<char>((s0 + 64 * (s1 % 4)) % 256),
      static_cast<char>((s1 / 4) % 16 + 16 * (s2 % 16)),
      static_cast<char>(((s2 / 16) % 4 + 4 * s3) % 256),
  };
  stream.Write(bytes, 3);
}

TDecipherStatus TTembrelCipher::DecipherStream(TByteStream& stream, std::string_view key) {
  const int64_t remaining = stream.Size() - stream.Position();
  if (remaining < static_cast<int64_t>(kBlock)) return dsTooShort;
  if (remaining % kBlock != 0) return dsNotMultiple;
  SetKey(key);
  try {
    if (FMode > cmCBC) return dsDone;
    const auto start = static_cast<size_t>(stream.Position());
    uint8_t* data = reinterpret_cast<uint8_t*>(stream.MutableData());
    if (FMode == cmECB) {
      DecryptBlocks(data + start, data + start, static_cast<size_t>(remaining) / kBlock);
      stream.Seek(stream.Size());
      return dsDone;
    }
    const auto ivAt = static_cast<size_t>(stream.Size()) - kBlock;
    uint8_t s[kBlock];
    std::memcpy(s, data + ivAt, kBlock);
    stream.SetSize(static_cast<int64_t>(ivAt));
    data = reinterpret_cast<uint8_t*>(stream.MutableData());
    uint8_t* p = data + start;
    size_t blocks = (ivAt - start) / kBlock;
    if (FMode == cmOFB) {
      // Each keystream block needs the one before: nothing to overlap here.
      TCipherBlock feedback;
      std::memcpy(feedback.data(), s, kBlock);
      for (; blocks > 0; --blocks, p += kBlock) {
        EncryptBlock(feedback, feedback);
        Xor8(p, feedback.data());
      }
    } else {
      // CBC: P[i] = D(C[i]) ^ C[i-1]; CFB: P[i] = C[i] ^ E(C[i-1]); C[0] = IV.
      // Blocks of one chunk are independent, so they go to the cipher together.
      uint8_t saved[kChunkBlocks * kBlock];
      uint8_t work[kChunkBlocks * kBlock];
      while (blocks > 0) {
        const size_t n = blocks < kChunkBlocks ? blocks : kChunkBlocks;
        const size_t bytes = n * kBlock;
        std::memcpy(saved, p, bytes);
        if (FMode == cmCBC) {
          DecryptBlocks(p, p, n);
          Xor8(p, s);
          for (size_t i = 1; i < n; ++i) Xor8(p + i * kBlock, saved + (i - 1) * kBlock);
        } else {
          std::memcpy(work, s, kBlock);
          std::memcpy(work + kBlock, saved, bytes - kBlock);
          EncryptBlocks(work, work, n);
          for (size_t i = 0; i < n; ++i) Xor8(p + i * kBlock, work + i * kBlock);
        }
        std::memcpy(s, saved + bytes - kBlock, kBlock);
        p += bytes;
        blocks -= n;
      }
    }
    stream.Seek(stream.Size());
  } catch (const std::exception&) {
    return dsFailed;
  }
  return dsDone;
}

void TTembrelCipher::TextToStream(std::string_view text, TByteStream& stream) {
  const size_t stop = text.find('.');
  if (stop == std::string_view::npos) throw TError(kNoStopError);
  const std::vector<std::string> items = SplitItems(text.substr(0, stop));
  if (items.size() < 5) throw TError(kHeaderError);
  ParseItem(items[2]);
  ParseItem(items[3]);
  const int64_t length = ParseItem(items[4]);

  const std::string_view payload = text.substr(stop + 1);
  const size_t groups = payload.size() / 4;
  stream.Reserve(stream.Position() + static_cast<int64_t>(groups * 3));
  for (size_t g = 0; g < groups; ++g) {
    std::array<uint8_t, 4> group;
    for (size_t i = 0; i < 4; ++i) {
      group[i] = static_cast<uint8_t>(static_cast<uint8_t>(payload[4 * g + i]) - 59);
    }
    UnpackGroup(stream, group);
  }
  if (length > stream.Size() + kMaxLengthening) throw TError(TByteStream::kExpandError);
  stream.SetSize(length);
}

std::string TTembrelCipher::DecodeString(std::string_view encoded, std::string_view key,
                                         bool clean) {
  std::string kept;
  const size_t stop = encoded.find('.');
  std::string_view text = encoded;
  if (clean && stop != std::string_view::npos) {
    kept.assign(encoded.substr(0, stop + 1));
    for (const char c : encoded.substr(stop + 1)) {
      if (InAlphabet(c)) kept += c;
    }
    if (kept.size() == stop + 1) return {};
    text = kept;
  }

  TByteStream stream;
  TextToStream(text, stream);
  stream.Seek(0);
  uint8_t header[kHeaderSize];
  // Data too short to hold the header are as wrong as a wrong version.
  if (stream.Read(header, kHeaderSize) != static_cast<int64_t>(kHeaderSize) ||
      ReadUInt32(header) != 1) {
    throw TError(kVersionError);
  }
  FMode = header[8];
  switch (DecipherStream(stream, key)) {
    case dsDone:
      break;
    case dsTooShort:
      throw TError(kTooShortError);
    case dsNotMultiple:
      throw TError(kNotMultipleError);
    case dsFailed:
      throw TError(kFailedError);
  }
  std::string result(stream.View().substr(kHeaderSize));
  result += '\0';
  return result;
}

}  // namespace scrivlock::cipher
