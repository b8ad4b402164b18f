// A Lazarus project file's syntax mode from any bytes: a lower-case word that
// the text holds, or Lazarus's default.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hosts/common/LazarusProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view lpi(reinterpret_cast<const char*>(data), size);
  const std::string mode = scrivlock::hosts::LazarusSyntaxMode(lpi);
  for (char c : mode) {
    if (std::isupper(static_cast<unsigned char>(c))) __builtin_trap();
  }
  if (mode != "objfpc" && mode.size() > lpi.size()) __builtin_trap();
  return 0;
}
