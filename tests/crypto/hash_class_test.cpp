#include <gtest/gtest.h>

#include <string>

#include "crypto/format_registry.h"
#include "crypto/md4_hash.h"
#include "crypto/rijndael_cipher.h"
#include "crypto/ripemd256_hash.h"
#include "platform/memory_stream.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

template <class H>
std::string Digest(const std::string& message, std::size_t chunk = 0) {
  H hash;
  hash.Init();
  if (chunk == 0) chunk = message.size() + 1;
  for (std::size_t pos = 0; pos < message.size(); pos += chunk) {
    hash.Calc(message.data() + pos, std::min(chunk, message.size() - pos));
  }
  hash.Done();
  const auto d = hash.DigestKey();
  return testing::ToHex(d.data(), d.size());
}

struct Example {
  std::string message;
  const char* md4;        // RFC 1320, appendix A.5
  const char* ripemd256;  // the designers' published examples
};

const std::string kMillionA(1000000, 'a');

const Example kExamples[] = {
    {"", "31d6cfe0d16ae931b73c59d7e0c089c0",
     "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
    {"a", "bde52cb31de33e46245e05fbdbd6fb24",
     "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
    {"abc", "a448017aaf21d8525fc10ae87aa6729d",
     "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
    {"message digest", "d9130a8164549fe818874806e1c7014b",
     "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
    {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9",
     "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4",
     "5740a408ac16b720b84424ae931cbb1fe363d1d0bf4017f1a89f7ea6de77a0b8"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "e33b4ddc9c38f2199c3e7b164fcc0536",
     "06fdcc7a409548aaf91368c06a6275b553e3f099bf0ea4edfd6778df89a890dd"},
};

TEST(MD4Hash, ReproducesRfc1320) {
  for (const auto& e : kExamples) {
    EXPECT_EQ(Digest<MD4Hash>(e.message), e.md4) << '"' << e.message << '"';
    EXPECT_EQ(Digest<MD4Hash>(e.message, 3), e.md4) << '"' << e.message << '"';
  }
}

TEST(RipeMD256Hash, ReproducesPublishedExamples) {
  for (const auto& e : kExamples) {
    EXPECT_EQ(Digest<RipeMD256Hash>(e.message), e.ripemd256) << '"' << e.message << '"';
    EXPECT_EQ(Digest<RipeMD256Hash>(e.message, 5), e.ripemd256) << '"' << e.message << '"';
  }
  EXPECT_EQ(Digest<RipeMD256Hash>("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "3843045583aac6c8c8d9128573e7a9809afb2a0f34ccc36ea9e72f16f6368e3f");
  EXPECT_EQ(Digest<RipeMD256Hash>(kMillionA, 4096),
            "ac953744e10e31514c150d4d8d7b677342e33399788296e43ae4850ce4f97978");
}

TEST(HashClasses, SelfTestAndSizes) {
  MD4Hash md4;
  RipeMD256Hash ripemd;
  EXPECT_TRUE(md4.SelfTest());
  EXPECT_TRUE(ripemd.SelfTest());
  EXPECT_EQ(md4.DigestKeySize(), 16);
  EXPECT_EQ(ripemd.DigestKeySize(), 32);
}

TEST(HashClasses, CalcOperationsAnswerTextInTheGivenFormat) {
  RipeMD256Hash hash;
  const std::string abc_hex = "AFBD6E228B9D8CBBCEF5CA2D03E6DBA10AC0BC7DCBE4680E1E42D2E975459B65";
  EXPECT_EQ(hash.CalcString("abc", nullptr, kFormatHex), abc_hex);
  EXPECT_EQ(hash.CalcBuffer("abc", 3, nullptr, kFormatHexL),
            "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65");
  const std::string raw = hash.CalcString("abc", nullptr, kFormatCopy);
  EXPECT_EQ(EncodeToFormat(raw.data(), 32, kFormatHex), abc_hex);

  // A stream: the whole of it for a negative size, from the current position otherwise.
  platform::MemoryStream stream(std::vector<unsigned char>{'x', 'a', 'b', 'c'});
  stream.SetPosition(1);
  EXPECT_EQ(hash.CalcStream(stream, 3, nullptr, kFormatHex), abc_hex);
  EXPECT_EQ(hash.CalcStream(stream, -1, nullptr, kFormatHex),
            hash.CalcString("xabc", nullptr, kFormatHex));
  EXPECT_EQ(stream.Data().size(), 4u) << "hashing writes nothing back";

  // A chained protection codes every chunk before it is hashed, not the caller's data.
  auto cipher = std::make_shared<RijndaelCipher>("key");
  const std::string data = "the data";
  std::string coded = data;
  RijndaelCipher same("key");
  same.EncodeBuffer(reinterpret_cast<const std::uint8_t*>(coded.data()),
                    reinterpret_cast<std::uint8_t*>(coded.data()), coded.size());
  EXPECT_EQ(hash.CalcString(data, cipher, kFormatHex), hash.CalcString(coded, nullptr, kFormatHex));
}

TEST(HashClasses, KeystreamCodingRoundTripsAndScramblingReplacesData) {
  for (PAction action : {PAction::paEncode, PAction::paScramble}) {
    RipeMD256Hash hash;
    std::vector<std::uint8_t> data = testing::Pattern(100);
    const auto original = data;
    hash.CodeBuffer(data.data(), data.size(), action);
    EXPECT_NE(data, original);
    if (action == PAction::paEncode) {
      hash.CodeBuffer(data.data(), data.size(), PAction::paDecode);
      EXPECT_EQ(data, original);
    }
  }
}

}  // namespace
}  // namespace qm::crypto
