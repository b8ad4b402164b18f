#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "CaseName.h"
#include "Encoder.h"
#include "base/Error.h"
#include "cipher/TextCipher.h"

namespace scrivlock::cipher {
namespace {

constexpr const char* kKey = "Comments Expert key";

std::string Header(uint32_t version, uint32_t mode) {
  std::string data;
  for (const uint32_t v : {version, 0u, mode}) {
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  return data;
}

// An encoded text for `data`, with its length as the data length.
std::string Encoded(const std::string& data) {
  return "Label 1,0,0," + std::to_string(data.size()) + "." + codec::PackPayload(data);
}

std::string Decoded(std::string_view text) {
  TByteStream stream;
  TTembrelCipher::TextToStream(text, stream);
  return std::string(stream.View());
}

std::string ErrorOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const TError& error) {
    return error.what();
  }
  return "";
}

struct GroupCase {
  const char* Characters;
  std::string Bytes;
};

class UnpackGroupTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(UnpackGroupTest, GivesThreeBytesLowestSixBitsFirst) {
  const std::string chars = GetParam().Characters;
  std::array<uint8_t, 4> group;
  for (size_t i = 0; i < 4; ++i) group[i] = static_cast<uint8_t>(chars[i] - 59);
  TByteStream stream;
  UnpackGroup(stream, group);
  EXPECT_EQ(stream.View(), GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackGroupTest,
                         ::testing::Values(GroupCase{"zzzz", "\xFF\xFF\xFF"},
                                           GroupCase{"A;;;", std::string("\x06\0\0", 3)},
                                           GroupCase{";A;;", std::string("\x80\x01\0", 3)},
                                           GroupCase{";;;;", std::string(3, '\0')}),
                         TRowName());

struct HeaderCase {
  std::string Text;
  std::string Error;  // empty: accepted
};

class TextToStreamHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(TextToStreamHeaderTest, ChecksTheHeaderLine) {
  EXPECT_EQ(ErrorOf([&] { Decoded(GetParam().Text); }), GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextToStreamHeaderTest,
    ::testing::Values(
        HeaderCase{"Label 1,2,3,3;;;;", "Decoding string error: '.' not found in header."},
        HeaderCase{"Label 1,2,3.;;;;", "Decoding string error: header error."},
        HeaderCase{"Label1,2,3,3.;;;;", "Decoding string error: header error."},
        HeaderCase{"Label x,2,3,3.;;;;", ""}, HeaderCase{"Label 1,2,3,3,more.;;;;", ""},
        HeaderCase{"\"A label, quoted\" 1,-2,+3,3.;;;;", ""},
        HeaderCase{"Label 1,x2,3,3.;;;;", "'x2' is not a valid integer value"},
        HeaderCase{"Label 1,2,,3.;;;;", "'' is not a valid integer value"},
        HeaderCase{"Label 1,2,3,3x.;;;;", "'3x' is not a valid integer value"},
        HeaderCase{"Label 1,2,3,99999999999.;;;;", "'99999999999' is not a valid integer value"},
        // Lengths that no decoded data can justify get the stream's own refusal.
        HeaderCase{"Label 1,2,3,-1.;;;;", "Out of memory while expanding memory stream"},
        HeaderCase{"Label 1,2,3,2147483647.;;;;", "Out of memory while expanding memory stream"},
        HeaderCase{"Label 1,2,3,1048580.;;;;", "Out of memory while expanding memory stream"},
        HeaderCase{"Label 1,2,3,1048579.;;;;", ""}),
    TRowName());

TEST(TextToStreamTest, CutsOrLengthensToTheDataLength) {
  EXPECT_EQ(Decoded("L 1,0,0,2.zzzz"), "\xFF\xFF");
  EXPECT_EQ(Decoded("L 1,0,0,6.zzzz"), std::string("\xFF\xFF\xFF\0\0\0", 6));
  EXPECT_EQ(Decoded("L 1,0,0,0.zzzz"), "");
  // A last group of one to three characters is ignored.
  for (const char* text : {"L 1,0,0,3.zzzzA", "L 1,0,0,3.zzzzAA", "L 1,0,0,3.zzzzAAA"}) {
    EXPECT_EQ(Decoded(text), "\xFF\xFF\xFF") << text;
  }
}

TEST(TextToStreamTest, WritesAtThePositionAndSizesTheWholeStream) {
  TByteStream stream("abcdef");
  stream.Seek(2);
  TTembrelCipher::TextToStream("L 1,0,0,4.zzzz", stream);
  EXPECT_EQ(stream.View(), "ab\xFF\xFF");
}

class DecipherStreamTest : public ::testing::Test {
 protected:
  TTembrelCipher FCipher;
};

TEST_F(DecipherStreamTest, RefusesSizesThatAreNotWholeBlocksWithoutKeying) {
  for (const size_t size : {12u, 19u, 21u, 35u}) {
    TByteStream stream(std::string(size, 'x'));
    stream.Seek(12);
    // The short key would throw if the key were set.
    const TDecipherStatus status = FCipher.DecipherStream(stream, "short");
    EXPECT_EQ(status, size < 20 ? dsTooShort : dsNotMultiple) << size;
    EXPECT_EQ(stream.View(), std::string(size, 'x'));
    EXPECT_EQ(stream.Position(), 12);
  }
}

TEST_F(DecipherStreamTest, KeyErrorsAreErrorsNotStatuses) {
  TByteStream stream(std::string(16, 'x'));
  EXPECT_EQ(ErrorOf([&] { FCipher.DecipherStream(stream, "short"); }),
            "WARNING!: Tembrel Cypher requires a key of at least six characters.");
  EXPECT_EQ(ErrorOf([&] { FCipher.DecipherStream(stream, std::string(49, 'k')); }),
            "Key must be shorter than 48 characters.");
}

// A mode byte that names no mode is refused, not taken as deciphered.
TEST_F(DecipherStreamTest, UnknownModeIsRefusedWithoutKeying) {
  for (const uint8_t mode : {4, 128, 255}) {
    FCipher.SetMode(mode);
    TByteStream stream(std::string(24, 'y'));
    // The short key would throw if the key were set.
    EXPECT_EQ(FCipher.DecipherStream(stream, "short"), dsUnknownMode) << int(mode);
    EXPECT_EQ(stream.View(), std::string(24, 'y'));
  }
}

// Each mode checked block by block against its definition.
class DecipherStreamModeTest : public ::testing::TestWithParam<TChainMode> {};

TEST_P(DecipherStreamModeTest, MatchesTheModesDefinition) {
  const TChainMode mode = GetParam();
  std::mt19937 rng(static_cast<unsigned>(mode) + 99);
  TTembrelCipher cipher;
  cipher.SetKey(kKey);
  const bool hasIv = mode != cmECB;
  for (size_t blocks = 0; blocks <= 40; ++blocks) {
    std::string data(12 + 8 * (blocks + (hasIv ? 1 : 0)), '\0');
    for (char& c : data) c = static_cast<char>(rng());
    if (data.size() == 12) continue;

    std::vector<TCipherBlock> c(blocks + 1);  // c[0] is the IV
    for (size_t i = 0; i <= blocks; ++i) {
      const size_t at = i == 0 ? (hasIv ? data.size() - 8 : 0) : 12 + 8 * (i - 1);
      if (at >= 12) std::copy_n(data.begin() + static_cast<ptrdiff_t>(at), 8, c[i].begin());
    }
    std::string expected = data.substr(0, 12);
    TCipherBlock s = c[0], p;
    for (size_t i = 1; i <= blocks; ++i) {
      switch (mode) {
        case cmECB:
          cipher.DecryptBlock(c[i], p);
          break;
        case cmCBC:
          cipher.DecryptBlock(c[i], p);
          XorBlock(p, c[i - 1], p);
          break;
        case cmCFB:
          cipher.EncryptBlock(c[i - 1], p);
          XorBlock(p, c[i], p);
          break;
        case cmOFB:
          cipher.EncryptBlock(s, s);
          XorBlock(s, c[i], p);
          break;
      }
      expected.append(p.begin(), p.end());
    }

    TByteStream stream(data);
    stream.Seek(12);
    cipher.SetMode(mode);
    ASSERT_EQ(cipher.DecipherStream(stream, kKey), dsDone);
    EXPECT_EQ(stream.View(), expected) << blocks << " blocks";
    EXPECT_EQ(stream.Position(), stream.Size());
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, DecipherStreamModeTest,
                         ::testing::Values(cmOFB, cmECB, cmCFB, cmCBC), TRowName());

class DecodeStringTest : public ::testing::Test {
 protected:
  TTembrelCipher FCipher;
};

TEST_F(DecodeStringTest, CbcWithOnlyAnIvGivesTheTerminatorAlone) {
  const std::string text = Encoded(Header(1, cmCBC) + "IVIVIVIV");
  EXPECT_EQ(FCipher.DecodeString(text, kKey, false), std::string(1, '\0'));
  EXPECT_EQ(FCipher.Mode(), cmCBC);
}

TEST_F(DecodeStringTest, EcbDeciphersBothBlocks) {
  const std::string blocks = "0123456789abcdef";
  const std::string result = FCipher.DecodeString(Encoded(Header(1, cmECB) + blocks), kKey, false);
  ASSERT_EQ(result.size(), 17u);
  EXPECT_EQ(result[16], '\0');
  for (size_t i = 0; i < 2; ++i) {
    TCipherBlock c, p;
    std::copy_n(blocks.begin() + static_cast<ptrdiff_t>(8 * i), 8, c.begin());
    FCipher.DecryptBlock(c, p);
    EXPECT_EQ(result.substr(8 * i, 8), std::string(p.begin(), p.end()));
  }
}

struct DecodeErrorCase {
  std::string Data;
  std::string Error;
};

class DecodeStringErrorTest : public ::testing::TestWithParam<DecodeErrorCase> {};

TEST_P(DecodeStringErrorTest, RefusesWithItsMessage) {
  TTembrelCipher cipher;
  EXPECT_EQ(ErrorOf([&] { cipher.DecodeString(Encoded(GetParam().Data), kKey, false); }),
            GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeStringErrorTest,
    ::testing::Values(
        DecodeErrorCase{Header(2, cmECB) + "12345678", "Incorrect version header"},
        DecodeErrorCase{Header(0x101, cmECB) + "12345678", "Incorrect version header"},
        // shorter than the 12-byte header: nothing undefined is read
        DecodeErrorCase{"", "Incorrect version header"},
        DecodeErrorCase{Header(1, cmECB).substr(0, 11), "Incorrect version header"},
        // statuses 1 and 2 are errors: undeciphered bytes are never plain text
        DecodeErrorCase{Header(1, cmECB),
                        "Decoding string error: fewer than 8 bytes of enciphered data."},
        DecodeErrorCase{Header(1, cmCBC) + "1234567",
                        "Decoding string error: fewer than 8 bytes of enciphered data."},
        DecodeErrorCase{Header(1, cmECB) + "123456789",
                        "Decoding string error: enciphered data is not a multiple of 8 bytes."},
        DecodeErrorCase{Header(1, 9) + "123456789abc",
                        "Decoding string error: enciphered data is not a multiple of 8 bytes."},
        // a mode byte of 4 to 255 names no mode: the bytes are not plain text
        DecodeErrorCase{Header(1, 4) + "plain!!!",
                        "Decoding string error: unknown chaining mode 4."},
        DecodeErrorCase{Header(1, 0x1207) + "plain!!!",  // only the low byte counts
                        "Decoding string error: unknown chaining mode 7."},
        DecodeErrorCase{Header(1, 255) + "plain!!!plain!!!",
                        "Decoding string error: unknown chaining mode 255."}),
    TRowName());

TEST_F(DecodeStringTest, LengthenedDataAreZeros) {
  // 16 bytes of data, length 28: 12 zero bytes added, which make the second
  // ECB block and finish the first.
  const std::string data = Header(1, cmECB) + "abcd";
  const std::string text = "L 1,0,0,28." + codec::PackPayload(data);
  std::string expected;
  for (const TCipherBlock c : {TCipherBlock{'a', 'b', 'c', 'd', 0, 0, 0, 0}, TCipherBlock{}}) {
    TCipherBlock p;
    FCipher.SetKey(kKey);
    FCipher.DecryptBlock(c, p);
    expected.append(p.begin(), p.end());
  }
  EXPECT_EQ(FCipher.DecodeString(text, kKey, false), expected + '\0');
}

TEST_F(DecodeStringTest, CleanKeepsOnlyAlphabetCharactersAfterTheStop) {
  const std::string plain = "Uncomment and re-comment.";
  const std::string text = codec::EncodeText(plain, kKey, cmCBC, {1, 2, 3, 4, 5, 6, 7, 8});
  const size_t stop = text.find('.');
  std::string spread = text.substr(0, stop + 1);
  for (size_t i = stop + 1; i < text.size(); ++i) {
    spread += text[i];
    if (i % 7 == 0) spread += "\r\n ";
  }
  const std::string expected = std::string(plain) + std::string(7, '\0') + '\0';
  EXPECT_EQ(FCipher.DecodeString(spread, kKey, true), expected);
  EXPECT_EQ(FCipher.DecodeString(text, kKey, false), expected);
  EXPECT_EQ(FCipher.DecodeString("Label 1,0,0,20. \r\n\t ", kKey, true), "");
  EXPECT_EQ(ErrorOf([&] { FCipher.DecodeString("no full stop", kKey, true); }),
            "Decoding string error: '.' not found in header.");
}

}  // namespace
}  // namespace scrivlock::cipher
