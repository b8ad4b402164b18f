// The enciphering side of the encoded-text format, which the product itself never
// needs: it only decodes. Used by scrivlock-codec to make encoded texts (such as
// the window's built-in one) and by the tests to make round trips.
#pragma once

#include <string>
#include <string_view>

#include "cipher/Cipher.h"
#include "cipher/TextCipher.h"

namespace scrivlock::codec {

// Enciphers `plain` under `key` in `mode` and returns the encoded text
//   <label> 1,<padding>,0,<data length>.<payload>
// The plain bytes are padded with zeros to a multiple of 8 (to one block at least
// in ECB, whose data must hold a block). The product's decoder keeps the padding
// (its texts end at the first zero byte), so the header line's second number,
// whose value the format leaves free, records how many bytes were added (0 to
// 8): StripPadding takes exactly those off again. In the IV modes `iv` is used
// and appended as the last block; ECB ignores it. The label is quoted when it is
// empty or holds blanks, commas or quotes.
// Throws TError: the cipher's key errors, or for a label with a full stop or a
// character of code 0, which would end the header line early.
std::string EncodeText(std::string_view plain, std::string_view key, cipher::TChainMode mode,
                       const cipher::TCipherBlock& iv, std::string_view label = "Scrivlock");

// `plain`, the deciphered bytes of `encoded` without the terminating zero, less
// the zero bytes that EncodeText added: as many as the header line's second
// number says, when that is 1 to 8 and the last that many bytes are zeros.
// Anything else (0, as texts made before the count was recorded have it, a
// number out of range, bytes that are not zeros, a header line that cannot be
// read) takes nothing off: only the encoder's own padding goes.
std::string_view StripPadding(std::string_view plain, std::string_view encoded);

// The payload characters for `data`: each 3 bytes (the last group padded with
// zeros) as 4 characters from ';' to 'z', the lowest six bits first.
std::string PackPayload(std::string_view data);

}  // namespace scrivlock::codec
