#include <gtest/gtest.h>

#include <random>
#include <string>

#include "CaseName.h"
#include "Encoder.h"
#include "base/Error.h"
#include "base/ItemSplit.h"

namespace scrivlock::codec {
namespace {

using cipher::TChainMode;

TEST(PackPayloadTest, IsUndoneByTheDecoder) {
  std::mt19937 rng(3);
  for (size_t size = 0; size < 40; ++size) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(rng());
    const std::string payload = PackPayload(data);
    EXPECT_EQ(payload.size(), (size + 2) / 3 * 4);
    for (const char c : payload) ASSERT_TRUE(c >= ';' && c <= 'z') << c;
    TByteStream stream;
    cipher::TTembrelCipher::TextToStream("L 1,0,0," + std::to_string(size) + "." + payload, stream);
    EXPECT_EQ(stream.View(), data);
  }
}

TEST(EncodeTextTest, HeaderCarriesTheLabelAndTheDataLength) {
  const std::string text = EncodeText("12345678", "labelkey", cipher::cmCBC, {}, "My \"hint\", v1");
  const auto items = SplitItems(text.substr(0, text.find('.')));
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0], "My \"hint\", v1");
  EXPECT_EQ(items[2], "0");   // no padding
  EXPECT_EQ(items[4], "28");  // 12-byte header, one block, the IV
  const std::string unlabelled = EncodeText("", "labelkey", cipher::cmECB, {}, "");
  const auto unlabelledItems = SplitItems(unlabelled.substr(0, unlabelled.find('.')));
  ASSERT_EQ(unlabelledItems.size(), 5u);
  EXPECT_EQ(unlabelledItems[2], "8");  // ECB's one block is all padding
  EXPECT_THROW(EncodeText("x", "labelkey", cipher::cmECB, {}, "v1.0"), TError);
  EXPECT_THROW(EncodeText("x", "short", cipher::cmECB, {}), TError);
}

class EncodeRoundTripTest : public ::testing::TestWithParam<TChainMode> {};

TEST_P(EncodeRoundTripTest, DecodeStringGivesThePaddedPlainTextBack) {
  std::mt19937 rng(static_cast<unsigned>(GetParam()) + 17);
  cipher::TTembrelCipher decoder;
  for (size_t size = 0; size <= 70; ++size) {
    std::string plain(size, '\0');
    for (char& c : plain) c = static_cast<char>(rng());
    std::string key(6 + rng() % 43, '\0');
    for (char& c : key) c = static_cast<char>(' ' + rng() % 95);
    cipher::TCipherBlock iv;
    for (auto& b : iv) b = static_cast<uint8_t>(rng());

    const std::string text = EncodeText(plain, key, GetParam(), iv);
    size_t padded = (size + 7) / 8 * 8;
    if (GetParam() == cipher::cmECB && padded == 0) padded = 8;
    std::string expected = plain + std::string(padded - size, '\0') + '\0';
    ASSERT_EQ(decoder.DecodeString(text, key, false), expected) << size << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, EncodeRoundTripTest,
                         ::testing::Values(cipher::cmOFB, cipher::cmECB, cipher::cmCFB,
                                           cipher::cmCBC),
                         scrivlock::cipher::TRowName());

}  // namespace
}  // namespace scrivlock::codec
