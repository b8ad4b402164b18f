// The encoded-text decoder on any text under any key. An input is
//   <flags> <key length> <key> <encoded text>
// flags bit 0: decode "clean"; the key length counts modulo 64, so that keys too
// short and too long for the cipher come up as well as good ones.
//
// Whatever the input, DecodeString either raises one of the system's errors
// (TError) or returns deciphered blocks: the plain text is whole blocks and the
// mode it was deciphered in is one of the four. Anything else that leaves it,
// or a second decoding by the same cipher that gives another answer (the first
// left state behind that the second depends on), is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "cipher/TextCipher.h"

namespace {

using scrivlock::TError;
using scrivlock::cipher::TTembrelCipher;

// The decoded text, or the error's message with a mark that no text carries.
std::string Decode(TTembrelCipher& cipher, std::string_view encoded, std::string_view key,
                   bool clean, int& mode) {
  try {
    std::string result = cipher.DecodeString(encoded, key, clean);
    mode = cipher.Mode();
    return result;
  } catch (const TError& error) {
    mode = -1;
    return std::string("\x01error: ") + error.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool clean = (data[0] & 1) != 0;
  const size_t keyLength = data[1] % 64;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string_view key = rest.substr(0, keyLength);
  const std::string_view encoded = rest.substr(key.size());

  TTembrelCipher cipher;
  int mode = -1;
  const std::string result = Decode(cipher, encoded, key, clean, mode);
  if (mode >= 0 && !result.empty()) {
    // A zero ends the text; before it stand whole deciphered blocks only.
    if (result.back() != '\0' || (result.size() - 1) % 8 != 0) std::abort();
    if (mode > scrivlock::cipher::cmCBC) std::abort();
  }
  int again = -1;
  if (Decode(cipher, encoded, key, clean, again) != result || again != mode) std::abort();
  return 0;
}
