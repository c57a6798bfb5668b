#include <gtest/gtest.h>

#include "crypto/crypto_errors.h"
#include "crypto/rijndael_cipher.h"
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

}  // namespace
}  // namespace qm::crypto
