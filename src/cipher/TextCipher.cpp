#include "cipher/TextCipher.h"

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
    TCipherBlock cur, out;
    while (stream.Position() < stream.Size()) {
      stream.Read(cur.data(), kBlock);
      switch (FMode) {
        case cmECB:
          DecryptBlock(cur, out);
          break;
        case cmOFB:
          EncryptBlock(feedback, feedback);
          XorBlock(cur, feedback, out);
          break;
        case cmCFB:
          EncryptBlock(feedback, out);
          XorBlock(cur, out, out);
          feedback = cur;
          break;
        case cmCBC:
          DecryptBlock(cur, out);
          XorBlock(out, feedback, out);
          feedback = cur;
          break;
      }
      stream.Seek(stream.Position() - static_cast<int64_t>(kBlock));
      stream.Write(out.data(), kBlock);
    }
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
    case dsUnknownMode: {
      std::string message = kModeError;
      message.replace(message.find("%d"), 2, std::to_string(FMode));
      throw TError(message);
    }
  }
  std::string result(stream.View().substr(kHeaderSize));
  result += '\0';
  return result;
}

}  // namespace scrivlock::cipher
