// Writes the cipher's S-box table: 65,536 16-bit values, little-endian, 131,072
// bytes. The values come from SplitMix64 started at a fixed seed, so running the
// generator again gives the same file byte for byte. The table was made once with
//   sboxgen src/cipher/data/SBoxTable.bin
// and is kept in the repository; the build compiles that file, not this program.
// Changing the seed or the generator changes every enciphered text, including the
// window's built-in one, so the seed is fixed for good.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr uint64_t kSeed = 0x5C81'7B0C'2A4D'9E63;
constexpr int kEntries = 65536;

uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E37'79B9'7F4A'7C15);
  z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
  z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
  return z ^ (z >> 31);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sboxgen OUTPUT.bin\n");
    return 2;
  }
  uint64_t state = kSeed;
  std::vector<unsigned char> bytes;
  bytes.reserve(2 * kEntries);
  for (int i = 0; i < kEntries; ++i) {
    // The top 16 bits of each output: independent draws, so values repeat and
    // about 1 - 1/e of all 16-bit values occur, as wanted of this table.
    const auto value = static_cast<uint16_t>(SplitMix64(state) >> 48);
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
  }
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "sboxgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
