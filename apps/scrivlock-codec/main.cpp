// scrivlock-codec: makes and reads the cipher's encoded texts.
//   scrivlock-codec encode --key K --mode ecb|cbc|cfb|ofb [--iv HEX] [--label TEXT] <plain >encoded
//   scrivlock-codec decode --key K [--clean] [--keep-nul] <encoded >plain
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "Encoder.h"
#include "base/Error.h"
#include "cipher/TextCipher.h"

namespace {

using scrivlock::cipher::TChainMode;
using scrivlock::cipher::TCipherBlock;

std::string ReadAll(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 16 hex digits, byte 0 first: "0001020304050607" is the block 00 01 ... 07.
bool ParseIv(const std::string& hex, TCipherBlock& iv) {
  if (hex.size() != 16) return false;
  for (size_t i = 0; i < 8; ++i) {
    unsigned value = 0;
    for (size_t j = 0; j < 2; ++j) {
      const char c = hex[2 * i + j];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    iv[i] = static_cast<uint8_t>(value);
  }
  return true;
}

TCipherBlock RandomIv() {
  std::random_device device;
  TCipherBlock iv;
  for (auto& b : iv) b = static_cast<uint8_t>(device() & 0xFF);
  return iv;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Makes and reads Scrivlock's encoded texts (stdin to stdout)."};
  app.footer(
      "Exit status: 0 done; 1 the text could not be enciphered, deciphered or written (the\n"
      "message says why); 2 a wrong command line.\n"
      "See scrivlock-codec(1) for more.");
  app.set_version_flag("--version", "scrivlock-codec " SCRIVLOCK_VERSION);
  app.require_subcommand(1);

  std::string key;
  std::string mode;
  std::string ivHex;
  std::string label = "Scrivlock";
  CLI::App* encode = app.add_subcommand(
      "encode", "Encipher the plain bytes on stdin and print them as an encoded text.");
  encode->add_option("--key", key, "Key text, 6 to 48 characters")->required();
  encode->add_option("--mode", mode, "Chaining mode")
      ->check(CLI::IsMember({"ecb", "cbc", "cfb", "ofb"}))
      ->required();
  encode->add_option("--iv", ivHex, "IV as 16 hex digits, byte 0 first (default: random)");
  encode->add_option("--label", label, "Label of the header line")->capture_default_str();

  bool clean = false;
  bool keepNul = false;
  CLI::App* decode =
      app.add_subcommand("decode", "Decipher the encoded text on stdin and print the plain text.");
  decode->add_option("--key", key, "Key text, 6 to 48 characters")->required();
  decode->add_flag("--clean", clean, "Take only alphabet characters after the full stop");
  decode->add_flag("--keep-nul", keepNul,
                   "Also print the character of code 0 that ends every decoded text");

  // --help prints and succeeds; a command line the tool cannot take is an
  // error, with the status of the tool's other usage errors.
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }

  try {
    std::ios::sync_with_stdio(false);
    if (encode->parsed()) {
      static const std::map<std::string, TChainMode> modes = {{"ecb", scrivlock::cipher::cmECB},
                                                              {"cbc", scrivlock::cipher::cmCBC},
                                                              {"cfb", scrivlock::cipher::cmCFB},
                                                              {"ofb", scrivlock::cipher::cmOFB}};
      const TChainMode chainMode = modes.at(mode);
      TCipherBlock iv{};
      if (!ivHex.empty()) {
        if (chainMode == scrivlock::cipher::cmECB) {
          std::cerr << "scrivlock-codec: --iv is not used in ECB mode\n";
          return 2;
        }
        if (!ParseIv(ivHex, iv)) {
          std::cerr << "scrivlock-codec: --iv must be 16 hex digits\n";
          return 2;
        }
      } else if (chainMode != scrivlock::cipher::cmECB) {
        iv = RandomIv();
      }
      std::cout << scrivlock::codec::EncodeText(ReadAll(std::cin), key, chainMode, iv, label)
                << '\n';
    } else {
      scrivlock::cipher::TTembrelCipher cipher;
      std::string plain = cipher.DecodeString(ReadAll(std::cin), key, clean);
      // DecodeString always ends its result with one character of code 0.
      if (!keepNul && !plain.empty()) plain.pop_back();
      std::cout << plain;
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "scrivlock-codec: " << error.what() << '\n';
    return 1;
  }
}
