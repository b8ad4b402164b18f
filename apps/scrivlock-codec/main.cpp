// scrivlock-codec: makes and reads the cipher's encoded texts.
//   scrivlock-codec encode --key K --mode ecb|cbc|cfb|ofb [--iv HEX] [--label TEXT] <plain >encoded
//   scrivlock-codec decode --key K [--clean] [--keep-padding] [--keep-nul] <encoded >plain
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "Encoder.h"
#include "base/ByteStream.h"
#include "base/Error.h"
#include "cipher/TextCipher.h"

namespace {

using scrivlock::cipher::TChainMode;
using scrivlock::cipher::TCipherBlock;

// All of standard input, read straight into one stream: sized once from the
// file's size where it is a file, else grown as it comes. Throws TError when
// it cannot be read.
scrivlock::TByteStream ReadAll() {
  scrivlock::TByteStream text;
  struct stat info {};
  constexpr int64_t kPiece = int64_t{1} << 20;
  if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
      info.st_size < scrivlock::TByteStream::kMaxSize - kPiece) {
    text.Reserve(static_cast<int64_t>(info.st_size) + kPiece);
  }
  for (;;) {
    const int64_t size = text.Size();
    const int64_t room = std::max(kPiece, text.Capacity() - size);
    char* const into = text.Extend(room);
    const ssize_t n = ::read(STDIN_FILENO, into, static_cast<size_t>(room));
    if (n < 0 && errno == EINTR) {
      text.Truncate(size);
      continue;
    }
    if (n < 0) {
      text.Truncate(size);
      throw scrivlock::TError(std::string("cannot read the input: ") + std::strerror(errno));
    }
    text.Truncate(size + n);
    if (n == 0) return text;
  }
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

constexpr const char* kPaddingHelp =
    "encode pads the plain bytes with zeros to whole blocks of 8 and records how many in the\n"
    "header line's second number; decode leaves exactly those out, so that it gives encode's\n"
    "input back (--keep-padding prints them). A text whose second number is 0 is printed whole.";

// Writes all of `bytes` to stdout; on failure the system's reason.
std::optional<std::string> WriteOut(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return std::string(std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return std::nullopt;
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
  app.footer(std::string(kPaddingHelp) +
             "\n\nExit status: 0 done; 1 the text could not be enciphered, deciphered or written\n"
             "(the message says why); 2 a wrong command line.\n"
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
  CLI::Option* ivOption =
      encode->add_option("--iv", ivHex, "IV as 16 hex digits, byte 0 first (default: random)");
  encode->add_option("--label", label, "Label of the header line")->capture_default_str();

  bool clean = false;
  bool keepPadding = false;
  bool keepNul = false;
  CLI::App* decode = app.add_subcommand(
      "decode",
      "Decipher the encoded text on stdin and print the plain text, without encode's padding.");
  decode->footer(kPaddingHelp);
  decode->add_option("--key", key, "Key text, 6 to 48 characters")->required();
  decode->add_flag("--clean", clean, "Take only alphabet characters after the full stop");
  decode->add_flag("--keep-padding", keepPadding,
                   "Also print the zero bytes that encode added to fill the last block");
  decode->add_flag("--keep-nul", keepNul,
                   "Also print the character of code 0 that ends every decoded text");

  // --help prints and succeeds; a command line the tool cannot take is an
  // error, with the status of the tool's other usage errors.
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }

  std::string output;
  scrivlock::TByteStream plainText;
  std::string_view result;  // what is printed: part of `output` or `plainText`
  bool nul = false;         // and a character of code 0 after it
  try {
    std::ios::sync_with_stdio(false);
    if (encode->parsed()) {
      static const std::map<std::string, TChainMode> modes = {{"ecb", scrivlock::cipher::cmECB},
                                                              {"cbc", scrivlock::cipher::cmCBC},
                                                              {"cfb", scrivlock::cipher::cmCFB},
                                                              {"ofb", scrivlock::cipher::cmOFB}};
      const TChainMode chainMode = modes.at(mode);
      TCipherBlock iv{};
      // Given at all, also empty: a random IV is taken only when none is given.
      if (ivOption->count() > 0) {
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
      output = scrivlock::codec::EncodeText(ReadAll().View(), key, chainMode, iv, label) + '\n';
      result = output;
    } else {
      const scrivlock::TByteStream encoded = ReadAll();
      scrivlock::cipher::TTembrelCipher cipher;
      const std::optional<std::string_view> decoded =
          cipher.DecodeInto(encoded.View(), key, clean, plainText);
      std::string_view plain = decoded.value_or(std::string_view());
      if (!keepPadding) plain = scrivlock::codec::StripPadding(plain, encoded.View());
      result = plain;
      // The character of code 0 that DecodeString ends a decoded text with
      // (none for a clean text without payload).
      nul = keepNul && decoded;
    }
  } catch (const std::exception& error) {
    std::cerr << "scrivlock-codec: " << error.what() << '\n';
    return 1;
  }
  std::optional<std::string> failure = WriteOut(result);
  if (!failure && nul) failure = WriteOut(std::string_view("\0", 1));
  if (failure) {
    std::cerr << "scrivlock-codec: cannot write the output: " << *failure << '\n';
    return 1;
  }
  return 0;
}
