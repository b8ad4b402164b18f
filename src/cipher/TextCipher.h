// The text cipher: the block cipher's four chaining modes, deciphering side only,
// over byte streams, and the decoder of the encoded-text format
//   <label> <n1>,<n2>,<n3>,<data length>.<payload>
// whose payload packs each 3 bytes into 4 characters from ';' (0) to 'z' (63), the
// lowest six bits first. The decoded data are a 12-byte header of little-endian
// 32-bit integers (version 1, a field not examined, the mode in its low byte),
// the cipher-text blocks and, in the IV modes, the IV as the last block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "cipher/Cipher.h"

namespace scrivlock::cipher {

// The chaining modes, deciphering side, 64-bit feedback. Values 4..255 name no
// mode: DecipherStream refuses them.
enum TChainMode : uint8_t { cmOFB = 0, cmECB = 1, cmCFB = 2, cmCBC = 3 };

// What DecipherStream did.
enum TDecipherStatus : uint8_t {
  dsDone = 0,         // deciphered
  dsTooShort = 1,     // fewer than 8 bytes from the position on; nothing changed
  dsNotMultiple = 2,  // not a multiple of 8 bytes; nothing changed
  dsFailed = 3,       // an error while deciphering; earlier blocks stay deciphered
  dsUnknownMode = 4,  // the mode is 4 or more, which names no mode; nothing changed
};

// Writes the three bytes that the four payload values `group` (each a character
// code minus 59, in 8 bits) stand for at the stream's position.
// Throws TError(TByteStream::kExpandError) when the stream cannot grow.
void UnpackGroup(TByteStream& stream, const std::array<uint8_t, 4>& group);

class TTembrelCipher : public TVantorCipher {
 public:
  static constexpr const char* kNoStopError = "Decoding string error: '.' not found in header.";
  static constexpr const char* kHeaderError = "Decoding string error: header error.";
  static constexpr const char* kIntegerError = "'%s' is not a valid integer value";
  static constexpr const char* kVersionError = "Incorrect version header";
  static constexpr const char* kTooShortError =
      "Decoding string error: fewer than 8 bytes of enciphered data.";
  static constexpr const char* kNotMultipleError =
      "Decoding string error: enciphered data is not a multiple of 8 bytes.";
  static constexpr const char* kFailedError = "Decoding string error: deciphering failed.";
  // %d is the mode byte.
  static constexpr const char* kModeError = "Decoding string error: unknown chaining mode %d.";
  // How far a header's data length may lengthen the decoded bytes (with zeros).
  // An honest encoder never needs it; the bound keeps a forged length from sizing
  // an allocation.
  static constexpr int64_t kMaxLengthening = int64_t{1} << 20;

  TTembrelCipher() = default;

  TChainMode Mode() const { return static_cast<TChainMode>(FMode); }
  void SetMode(uint8_t mode) { FMode = mode; }

  // Deciphers `stream` in place from its position to its end in the current mode
  // and returns the status. In the IV modes the last 8 bytes are the IV, and the
  // stream is cut by them. After dsDone the position is at the end. Keys the
  // cipher with `key` once the two size checks and the mode check pass; its key
  // errors (TError) reach the caller as errors, not as a status.
  TDecipherStatus DecipherStream(TByteStream& stream, std::string_view key);

  // Decodes the encoded `text` into `stream` at its position, then sets the
  // stream's size to the header's data length: surplus bytes are dropped and
  // missing ones added as zeros. A last group of 1 to 3 characters is ignored.
  // Throws TError with kNoStopError, kHeaderError (fewer than five header items),
  // kIntegerError with the item (item 2, 3 or 4 not a 32-bit integer), or
  // TByteStream::kExpandError for a negative length or one that would lengthen
  // the data by more than kMaxLengthening.
  static void TextToStream(std::string_view text, TByteStream& stream);

  // The whole decoding: encoded text and key in, plain text out, followed by one
  // character of code 0. With `clean`, only alphabet characters after the full
  // stop count as payload (and none at all gives an empty result, no error).
  // Throws TError: TextToStream's errors; kVersionError when the data are shorter
  // than 12 bytes or the version is not 1; the key errors of SetKey; and
  // kTooShortError, kNotMultipleError, kFailedError or kModeError for the
  // statuses 1 to 4, so that undeciphered bytes are never returned as plain
  // text. Sets the mode from the data.
  std::string DecodeString(std::string_view encoded, std::string_view key, bool clean);
  // DecodeString's work into `stream`, which it replaces, for a caller that
  // prints a big text without copying it: returns the plain text, a view into
  // `stream` (without DecodeString's character of code 0), or none where
  // DecodeString gives an empty result. Throws as DecodeString does.
  std::optional<std::string_view> DecodeInto(std::string_view encoded, std::string_view key,
                                             bool clean, TByteStream& stream);

 private:
  uint8_t FMode = cmECB;
};

}  // namespace scrivlock::cipher
