#include "cipher/TextCipher.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "base/Error.h"
#include "base/ItemSplit.h"

namespace scrivlock::cipher {
namespace {

constexpr size_t kBlock = 8;
constexpr size_t kHeaderSize = 12;

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

// The three bytes of one group of four characters' values, stored at `out`.
inline void UnpackInto(char* out, unsigned s0, unsigned s1, unsigned s2, unsigned s3) {
  out[0] = static_cast<char>((s0 + 64 * (s1 % 4)) % 256);
  out[1] = static_cast<char>((s1 / 4) % 16 + 16 * (s2 % 16));
  out[2] = static_cast<char>(((s2 / 16) % 4 + 4 * s3) % 256);
}

}  // namespace

void UnpackGroup(TByteStream& stream, const std::array<uint8_t, 4>& group) {
  char bytes[3];
  UnpackInto(bytes, group[0], group[1], group[2], group[3]);
  stream.Write(bytes, 3);
}

TDecipherStatus TTembrelCipher::DecipherStream(TByteStream& stream, std::string_view key) {
  const int64_t remaining = stream.Size() - stream.Position();
  if (remaining < static_cast<int64_t>(kBlock)) return dsTooShort;
  if (remaining % kBlock != 0) return dsNotMultiple;
  if (FMode > cmCBC) return dsUnknownMode;
  SetKey(key);
  try {
    TCipherBlock feedback{};  // C[i-1] (CBC, CFB) or the keystream (OFB); first the IV
    if (FMode != cmECB) {
      const int64_t start = stream.Position();
      stream.Seek(stream.Size() - static_cast<int64_t>(kBlock));
      stream.Read(feedback.data(), kBlock);
      stream.SetSize(stream.Size() - static_cast<int64_t>(kBlock));
      stream.Seek(start);
    }
    // In place, straight in the stream's memory. ECB and CBC decipher many
    // blocks at once (DecryptBlocks): each block's deciphering needs only its
    // own ciphertext.
    char* const end = stream.MutableData() + stream.Size();
    char* block = stream.MutableData() + stream.Position();
    if (FMode == cmECB || FMode == cmCBC) {
      constexpr size_t kBatch = 64;
      uint8_t cipherText[kBatch * kBlock];
      while (block < end) {
        const size_t count = std::min(kBatch, static_cast<size_t>(end - block) / kBlock);
        auto* const bytes = reinterpret_cast<uint8_t*>(block);
        if (FMode == cmCBC) std::memcpy(cipherText, bytes, count * kBlock);
        DecryptBlocks(bytes, bytes, count);
        if (FMode == cmCBC) {
          // P[i] = D(C[i]) xor C[i-1], C[-1] being the IV.
          for (size_t i = 0; i < kBlock; ++i) bytes[i] ^= feedback[i];
          for (size_t i = kBlock; i < count * kBlock; ++i) bytes[i] ^= cipherText[i - kBlock];
          std::memcpy(feedback.data(), cipherText + (count - 1) * kBlock, kBlock);
        }
        block += count * kBlock;
      }
    }
    TCipherBlock cur, out;
    for (; block < end; block += kBlock) {
      std::memcpy(cur.data(), block, kBlock);
      switch (FMode) {
        case cmOFB:
          EncryptBlock(feedback, feedback);
          XorBlock(cur, feedback, out);
          break;
        case cmCFB:
          EncryptBlock(feedback, out);
          XorBlock(cur, out, out);
          feedback = cur;
          break;
        default:
          break;
      }
      std::memcpy(block, out.data(), kBlock);
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
  // As UnpackGroup would, group after group, with no call per group.
  const int64_t at = stream.Position();
  if (at > stream.Size()) stream.SetSize(at);  // a gap is zeros, as Write makes it
  if (static_cast<int64_t>(groups * 3) > TByteStream::kMaxSize - at)
    throw TError(TByteStream::kExpandError);
  const int64_t written = at + static_cast<int64_t>(groups * 3);
  if (written > stream.Size()) stream.Extend(written - stream.Size());
  char* out = stream.MutableData() + at;
  const auto* in = reinterpret_cast<const uint8_t*>(payload.data());
  for (size_t g = 0; g < groups; ++g, in += 4, out += 3) {
    UnpackInto(out, static_cast<uint8_t>(in[0] - 59), static_cast<uint8_t>(in[1] - 59),
               static_cast<uint8_t>(in[2] - 59), static_cast<uint8_t>(in[3] - 59));
  }
  stream.Seek(written);
  if (length > stream.Size() + kMaxLengthening) throw TError(TByteStream::kExpandError);
  stream.SetSize(length);
}

std::optional<std::string_view> TTembrelCipher::DecodeInto(std::string_view encoded,
                                                           std::string_view key, bool clean,
                                                           TByteStream& stream) {
  std::string kept;
  const size_t stop = encoded.find('.');
  std::string_view text = encoded;
  if (clean && stop != std::string_view::npos) {
    kept.assign(encoded.substr(0, stop + 1));
    for (const char c : encoded.substr(stop + 1)) {
      if (InAlphabet(c)) kept += c;
    }
    if (kept.size() == stop + 1) return std::nullopt;
    text = kept;
  }

  stream.Release();
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
    case dsUnknownMode: {
      std::string message = kModeError;
      message.replace(message.find("%d"), 2, std::to_string(FMode));
      throw TError(message);
    }
  }
  return stream.View().substr(kHeaderSize);
}

std::string TTembrelCipher::DecodeString(std::string_view encoded, std::string_view key,
                                         bool clean) {
  TByteStream stream;
  const std::optional<std::string_view> plain = DecodeInto(encoded, key, clean, stream);
  if (!plain) return {};
  std::string result;
  result.reserve(plain->size() + 1);
  result.append(*plain);
  result += '\0';
  return result;
}

}  // namespace scrivlock::cipher
