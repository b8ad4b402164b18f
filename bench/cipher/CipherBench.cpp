// Deciphering speed of the cipher beside OpenSSL's Blowfish-CBC and CAST5-CBC (64-bit
// block ciphers of the same family) on the same 1 MiB, and the cost of a key
// change. Prints the ratios after the table:
//   cipher_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
// On a shared machine the interleaving matters: the table lives in L2, so a
// neighbour's work slows this cipher far more than the peers, whose tables fit L1.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Encoder.h"
#include "base/ByteStream.h"
#include "cipher/Cipher.h"
#include "cipher/TextCipher.h"

namespace {

using namespace scrivlock;
using namespace scrivlock::cipher;

constexpr size_t kStreamBytes = 1 << 20;
// The length of the window's built-in key.
const std::string kKey = "A key of thirty-four characters!!!";

const std::string& CipherBytes() {
  static const std::string bytes = [] {
    std::mt19937_64 rng(42);
    std::string b(kStreamBytes + 8, '\0');  // the data and an IV
    for (char& c : b) c = static_cast<char>(rng());
    return b;
  }();
  return bytes;
}

void BM_DecryptBlock(benchmark::State& state) {
  TVantorCipher cipher;
  cipher.SetKey(kKey);
  const std::string& input = CipherBytes();
  TCipherBlock block;
  for (auto _ : state) {
    for (size_t i = 0; i < kStreamBytes; i += 8) {
      std::copy_n(input.begin() + static_cast<ptrdiff_t>(i), 8, block.begin());
      cipher.DecryptBlock(block, block);
      benchmark::DoNotOptimize(block);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
}
BENCHMARK(BM_DecryptBlock)->Unit(benchmark::kMillisecond);

void BM_DecipherStream(benchmark::State& state) {
  const auto mode = static_cast<uint8_t>(state.range(0));
  TTembrelCipher cipher;
  cipher.SetMode(mode);
  const std::string& input = CipherBytes();
  TByteStream stream;
  for (auto _ : state) {
    state.PauseTiming();
    stream.Clear();
    stream.Append(
        std::string_view(input).substr(0, mode == cmECB ? kStreamBytes : kStreamBytes + 8));
    state.ResumeTiming();
    if (cipher.DecipherStream(stream, kKey) != dsDone) state.SkipWithError("not deciphered");
    benchmark::DoNotOptimize(stream.Data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
}
BENCHMARK(BM_DecipherStream)
    ->ArgName("mode")
    ->Arg(cmECB)
    ->Arg(cmCBC)
    ->Arg(cmCFB)
    ->Arg(cmOFB)
    ->Unit(benchmark::kMillisecond);

void BM_SetKey(benchmark::State& state) {
  TVantorCipher cipher;
  const std::string key = state.range(0) == 34 ? kKey : std::string(state.range(0), 'k');
  for (auto _ : state) {
    cipher.SetKey(key);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SetKey)->ArgName("chars")->Arg(6)->Arg(34)->Arg(48)->Unit(benchmark::kMicrosecond);

// What the window pays for its hint: a text of the built-in one's shape (40
// characters, five ECB blocks, a key of 34) decoded whole, the key schedule
// included.
void BM_DecodeHint(benchmark::State& state) {
  const std::string text =
      codec::EncodeText("Strip or restore the comments of a unit.", kKey, cmECB, {}, "Comments");
  TTembrelCipher cipher;
  for (auto _ : state) benchmark::DoNotOptimize(cipher.DecodeString(text, kKey, false));
}
BENCHMARK(BM_DecodeHint)->Unit(benchmark::kMicrosecond);

// OpenSSL peers: CBC deciphering of the same bytes, no padding.
void PeerCbc(benchmark::State& state, const char* name) {
  static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  static OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
  EVP_CIPHER* evp = EVP_CIPHER_fetch(nullptr, name, nullptr);
  if (legacy == nullptr || base == nullptr || evp == nullptr) {
    state.SkipWithError("OpenSSL legacy provider or cipher not available");
    return;
  }
  const unsigned char key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const auto* in = reinterpret_cast<const unsigned char*>(CipherBytes().data());
  const auto* iv = in + kStreamBytes;
  std::vector<unsigned char> out(kStreamBytes + 16);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    int n = 0;
    EVP_DecryptInit_ex2(ctx, evp, key, iv, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_DecryptUpdate(ctx, out.data(), &n, in, static_cast<int>(kStreamBytes));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(evp);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
}
BENCHMARK_CAPTURE(PeerCbc, BlowfishCBC, "BF-CBC")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PeerCbc, CAST5CBC, "CAST5-CBC")->Unit(benchmark::kMillisecond);

// Keeps each benchmark's CPU time per iteration, in nanoseconds, for the ratios:
// the median when repetitions are asked for, else the single run. CPU time,
// because the machine is shared and wall time counts the waits for a core.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
      const std::string name = run.run_name.str();
      if (median || FMedians.count(name) == 0) {
        FNanoseconds[name] =
            run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
      }
      if (median) FMedians.insert(name);
    }
  }
  std::map<std::string, double> FNanoseconds;
  std::set<std::string> FMedians;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.FNanoseconds;
  auto speedVersus = [&](const std::string& ours, const std::string& peer) {
    if (t.count(ours) == 0 || t.count(peer) == 0) return;
    std::printf("%-32s / %-22s speed ratio %.2f\n", ours.c_str(), peer.c_str(),
                t.at(peer) / t.at(ours));
  };
  std::printf("\nSpeed relative to the peers (1 MiB deciphered; > 1 is faster than the peer):\n");
  for (const char* peer : {"PeerCbc/BlowfishCBC", "PeerCbc/CAST5CBC"}) {
    speedVersus("BM_DecipherStream/mode:3", peer);  // CBC
    speedVersus("BM_DecipherStream/mode:1", peer);  // ECB
    speedVersus("BM_DecryptBlock", peer);
  }
  for (const char* key :
       {"BM_SetKey/chars:6", "BM_SetKey/chars:34", "BM_SetKey/chars:48", "BM_DecodeHint"}) {
    if (t.count(key) != 0) std::printf("%-32s %.2f us\n", key, t.at(key) / 1000);
  }
  benchmark::Shutdown();
  return 0;
}
