#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/crypto_errors.h"
#include "crypto/format_registry.h"
#include "crypto/rijndael_cipher.h"
#include "crypto/ripemd256_hash.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

using testing::BothPaths;
using testing::Hex;
using testing::ToHex;

struct BlockVector {
  const char* key;
  const char* plain;
  const char* cipher;
  int rounds;
};

// FIPS-197 appendix C.1 to C.3, and the appendix B example.
const BlockVector kFips197[] = {
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
     "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089", 14},
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32", 10},
};

class AesBlock : public BothPaths {};

TEST_P(AesBlock, ReproducesFips197Examples) {
  for (const auto& v : kFips197) {
    SCOPED_TRACE(v.key);
    RijndaelCipher cipher;
    const auto key = Hex(v.key);
    cipher.Init(key.data(), static_cast<int>(key.size()), nullptr);
    EXPECT_EQ(cipher.Rounds(), v.rounds);
    auto block = Hex(v.plain);
    cipher.EncryptBlock(block.data());
    EXPECT_EQ(ToHex(block), v.cipher);
    cipher.DecryptBlock(block.data());
    EXPECT_EQ(ToHex(block), v.plain);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, AesBlock, ::testing::Bool(), testing::PathName);

// Keys are padded with zeros to the next AES size; anything above 32 bytes is cut to 32.
TEST(RijndaelKeySetup, ShortAndLongKeysMapOntoAesSizes) {
  struct Case {
    int size;
    int rounds;
    int same_as;  // key length that must give the same schedule
  };
  const Case cases[] = {{0, 10, 16},  {5, 10, 16},  {16, 10, 16}, {17, 12, 24},
                        {24, 12, 24}, {25, 14, 32}, {32, 14, 32}, {40, 14, 32}};
  auto key = testing::Pattern(40);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    std::vector<std::uint8_t> padded(key.begin(), key.begin() + c.size);
    padded.resize(static_cast<std::size_t>(std::max(c.size, c.same_as)), 0);
    padded.resize(static_cast<std::size_t>(c.same_as));
    RijndaelCipher a, b;
    a.Init(key.data(), c.size, nullptr);
    b.Init(padded.data(), c.same_as, nullptr);
    EXPECT_EQ(a.Rounds(), c.rounds);
    std::vector<std::uint8_t> x(16, 0x42), y(16, 0x42);
    a.EncryptBlock(x.data());
    b.EncryptBlock(y.data());
    EXPECT_EQ(x, y);
  }
}

TEST(RijndaelKeySetup, StrictSwitchRefusesLongKeysWithCode2) {
  SetStrictKeySize(true);
  RijndaelCipher cipher;
  auto key = testing::Pattern(40);
  try {
    cipher.InitKey(std::span(key), nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const CipherException& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_STREQ(e.what(),
                 "Length from Encryptionkey is invalid.\r\nKeysize for TRijndaelCipher must be "
                 "to 0-32 bytes");
  }
  SetStrictKeySize(false);
  EXPECT_EQ(key, testing::Pattern(40)) << "a refused key must not be touched";
  EXPECT_FALSE(cipher.Initialized());
  cipher.InitKey(std::span(key), nullptr);
  EXPECT_TRUE(cipher.Initialized());
}

TEST(RijndaelCipher, UseWithoutKeyRaisesCode3) {
  RijndaelCipher cipher;
  std::uint8_t data[4] = {};
  for (auto code : {&Cipher::EncodeBuffer, &Cipher::DecodeBuffer}) {
    try {
      (cipher.*code)(data, data, sizeof data);
      ADD_FAILURE() << "no exception";
    } catch (const CipherException& e) {
      EXPECT_EQ(e.ErrorCode(), 3);
      EXPECT_STREQ(e.what(), "TRijndaelCipher is not initialized call Init() or InitKey() before.");
    }
  }
  EXPECT_THROW(cipher.CodeBuffer(data, sizeof data, PAction::paEncode), CipherException);
}

TEST(RijndaelCipher, KeyBufferNoLongerHoldsTheKeyAfterCreation) {
  const auto original = testing::Pattern(32, 7);
  auto key = original;
  RijndaelCipher cipher{std::span(key)};
  EXPECT_TRUE(cipher.Initialized());
  EXPECT_NE(key, original);
  // The buffer holds the key enciphered under itself in the default mode, from a fresh state.
  RijndaelCipher check;
  check.Init(original.data(), 32, nullptr);
  auto expected = original;
  check.EncodeBuffer(expected.data(), expected.data(), expected.size());
  EXPECT_EQ(key, expected);
}

TEST(RijndaelCipher, DefaultVectorIsEncryptionOfAllOnesAndDoneRestoresIt) {
  const auto key = testing::Pattern(16);
  RijndaelCipher cipher;
  cipher.Init(key.data(), 16, nullptr);
  std::vector<std::uint8_t> ones(16, 0xFF);
  cipher.EncryptBlock(ones.data());
  EXPECT_TRUE(std::equal(ones.begin(), ones.end(), cipher.Vector().begin()));
  std::uint8_t data[20] = {};
  cipher.EncodeBuffer(data, data, sizeof data);
  EXPECT_FALSE(std::equal(ones.begin(), ones.end(), cipher.Feedback().begin()));
  cipher.Done();
  EXPECT_TRUE(std::equal(ones.begin(), ones.end(), cipher.Feedback().begin()));
}

TEST(RijndaelCipher, SelfTestPassesOnBothPaths) {
  for (bool hw : {true, false}) {
    SetHardwareAcceleration(hw);
    RijndaelCipher cipher;
    EXPECT_TRUE(cipher.SelfTest());
  }
  SetHardwareAcceleration(true);
}

TEST(RijndaelCipher, TextKeyGoesThroughTheHashClass) {
  RijndaelCipher a("secret"), b("secret"), c("other");
  EXPECT_TRUE(a.HasHashKey());
  std::vector<std::uint8_t> x(33, 1), y(33, 1), z(33, 1);
  a.EncodeBuffer(x.data(), x.data(), x.size());
  b.EncodeBuffer(y.data(), y.data(), y.size());
  c.EncodeBuffer(z.data(), z.data(), z.size());
  EXPECT_EQ(x, y);
  EXPECT_NE(x, z);
  b.Done();
  b.DecodeBuffer(y.data(), y.data(), y.size());
  EXPECT_EQ(y, std::vector<std::uint8_t>(33, 1));

  // The key bytes are the RIPEMD-256 digest of the text, and the hash object forgets them.
  const std::string digest = RipeMD256Hash().CalcString("secret", nullptr, kFormatCopy);
  std::vector<std::uint8_t> raw_key(digest.begin(), digest.end());
  RijndaelCipher raw{std::span(raw_key)};
  std::vector<std::uint8_t> w(33, 1);
  raw.EncodeBuffer(w.data(), w.data(), w.size());
  EXPECT_EQ(w, x);
  const auto left = a.Hash()->DigestKey();
  EXPECT_NE(std::string(left.begin(), left.end()), digest);
}

}  // namespace
}  // namespace qm::crypto
