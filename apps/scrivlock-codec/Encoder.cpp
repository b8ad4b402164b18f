#include "Encoder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/ItemSplit.h"

namespace scrivlock::codec {
namespace {

using cipher::TCipherBlock;

constexpr size_t kBlock = 8;

void PutUInt32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string HeaderItem(std::string_view label) {
  if (label.find('.') != std::string_view::npos || label.find('\0') != std::string_view::npos) {
    throw TError("The label must not contain a full stop or a character of code 0.");
  }
  bool quote = label.empty();
  for (const char c : label) {
    quote = quote || static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"';
  }
  if (!quote) return std::string(label);
  std::string item = "\"";
  for (const char c : label) item += c == '"' ? std::string("\"\"") : std::string(1, c);
  return item + "\"";
}

}  // namespace

std::string PackPayload(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t v = 0;
    for (size_t j = 0; j < 3 && i + j < data.size(); ++j) {
      v |= uint32_t{static_cast<uint8_t>(data[i + j])} << (8 * j);
    }
    for (int k = 0; k < 4; ++k) out += static_cast<char>(';' + ((v >> (6 * k)) & 63));
  }
  return out;
}

std::string EncodeText(std::string_view plain, std::string_view key, cipher::TChainMode mode,
                       const TCipherBlock& iv, std::string_view label) {
  const std::string item = HeaderItem(label);
  cipher::TVantorCipher cipher;
  cipher.SetKey(key);

  size_t blocks = (plain.size() + kBlock - 1) / kBlock;
  if (mode == cipher::cmECB && blocks == 0) blocks = 1;
  std::string body(blocks * kBlock, '\0');
  std::memcpy(body.data(), plain.data(), plain.size());
  auto* p = reinterpret_cast<uint8_t*>(body.data());

  TCipherBlock chain = iv;  // the previous cipher block, or the OFB keystream
  TCipherBlock block;
  for (size_t i = 0; i < blocks; ++i, p += kBlock) {
    std::memcpy(block.data(), p, kBlock);
    switch (mode) {
      case cipher::cmECB:
        cipher.EncryptBlock(block, block);
        break;
      case cipher::cmCBC:
        cipher::XorBlock(block, chain, block);
        cipher.EncryptBlock(block, block);
        chain = block;
        break;
      case cipher::cmCFB:
        cipher.EncryptBlock(chain, chain);
        cipher::XorBlock(block, chain, block);
        chain = block;
        break;
      case cipher::cmOFB:
        cipher.EncryptBlock(chain, chain);
        cipher::XorBlock(block, chain, block);
        break;
    }
    std::memcpy(p, block.data(), kBlock);
  }

  std::string data;
  PutUInt32(data, 1);  // version
  PutUInt32(data, 0);  // not examined by the decoder
  PutUInt32(data, mode);
  data += body;
  if (mode != cipher::cmECB) data.append(reinterpret_cast<const char*>(iv.data()), kBlock);
  const size_t padding = body.size() - plain.size();
  return item + " 1," + std::to_string(padding) + ",0," + std::to_string(data.size()) + "." +
         PackPayload(data);
}

std::string_view StripPadding(std::string_view plain, std::string_view encoded) {
  const size_t stop = encoded.find('.');
  if (stop == std::string_view::npos) return plain;
  const std::vector<std::string> items = SplitItems(encoded.substr(0, stop));
  int32_t padding = 0;
  if (items.size() < 5 || !ParseInt32(items[2], padding)) return plain;
  if (padding < 1 || padding > static_cast<int32_t>(kBlock) ||
      static_cast<size_t>(padding) > plain.size()) {
    return plain;
  }
  const std::string_view tail = plain.substr(plain.size() - static_cast<size_t>(padding));
  if (tail.find_first_not_of('\0') != std::string_view::npos) return plain;
  return plain.substr(0, plain.size() - tail.size());
}

}  // namespace scrivlock::codec
