// The classic cipher routines and the AES transform on their own: key schedules, the blocks
// around an item's data, chunking, password checks and authentication.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "archive/directory/dir_item.h"
#include "archive/encryption/aes_crypto_transform.h"
#include "archive/encryption/aes_item_cipher.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/encryption/classic_cipher.h"
#include "encryption_test_support.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"

namespace qm::archive::testing {
namespace {

using platform::MemoryStream;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> v(size);
  for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>(i * 31 + i / 7);
  return v;
}

MemoryStream StreamOf(const std::vector<std::uint8_t>& bytes) {
  return MemoryStream(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// --- Classic cipher

TEST(ClassicCipher, EmptyPasswordLeavesTheInitialKeys) {
  ClassicKeys keys;
  InitClassicKeys(keys, "");
  EXPECT_EQ(keys.key0, 0x12345678u);
  EXPECT_EQ(keys.key1, 0x23456789u);
  EXPECT_EQ(keys.key2, 0x34567890u);
  InitClassicKeys(keys, "x");
  EXPECT_NE(keys.key0, 0x12345678u);
}

TEST(ClassicCipher, ChunkBoundariesDoNotChangeTheOutput) {
  const auto plain = Pattern(100);
  ClassicKeys whole_keys;
  InitClassicKeys(whole_keys, "secret");
  auto whole = plain;
  ClassicEncrypt(whole_keys, whole);
  ASSERT_NE(whole, plain);
  for (std::size_t split : {0, 1, 5, 12, 99, 100}) {
    SCOPED_TRACE(split);
    ClassicKeys keys;
    InitClassicKeys(keys, "secret");
    auto data = plain;
    ClassicEncrypt(keys, std::span(data).first(split));
    ClassicEncrypt(keys, std::span(data).subspan(split));
    EXPECT_EQ(data, whole);
    InitClassicKeys(keys, "secret");
    ClassicDecrypt(keys, std::span(data).first(split));
    ClassicDecrypt(keys, std::span(data).subspan(split));
    EXPECT_EQ(data, plain);
  }
}

TEST(ClassicCipher, HeaderCheckUsesOnlyItsCheckByte) {
  RepeatableRandom random;
  const std::uint32_t crc = 0xAB123456;
  ClassicKeys keys;
  InitClassicKeys(keys, "pw");
  const auto made = MakeClassicHeader(keys, crc);
  const std::vector<std::uint8_t> header(made.begin(), made.end());
  struct Case {
    const char* what;
    const char* password;
    std::uint32_t crc;
    std::uint16_t time;
    std::uint16_t flags;
    bool expected;
  };
  const Case cases[] = {
      {"same CRC", "pw", crc, 0, 0, true},
      // Byte 10 holds bits 16 to 23 of the CRC, but only byte 11 is compared.
      {"only the CRC's top byte matches", "pw", 0xAB000000, 0, 0, true},
      {"other top byte", "pw", 0xAC123456, 0, 0, false},
      // With sizes after the data, the check byte is the time's high byte.
      {"data descriptor, matching time", "pw", 0, 0xAB00, gpf::kDataDescriptor, true},
      {"data descriptor, CRC ignored", "pw", crc, 0x1200, gpf::kDataDescriptor, false},
      {"wrong password", "pW", crc, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStream stream = StreamOf(header);
    ClassicKeys check;
    EXPECT_EQ(CheckClassicHeader(stream, c.password, check, c.crc, c.time, c.flags), c.expected);
    EXPECT_EQ(stream.Position(), 12);
  }
}

TEST(ClassicCipher, ShortHeaderIsAStreamReadError) {
  MemoryStream stream(std::vector<unsigned char>(11, 0));
  ClassicKeys keys;
  EXPECT_THROW(CheckClassicHeader(stream, "pw", keys, 0, 0, 0), platform::ReadError);
}

TEST(ClassicCipher, HeaderCarriesTheCrcAndFreshRandomBytes) {
  const std::uint32_t crc = 0xCAFEBABE;
  std::set<std::vector<std::uint8_t>> heads;
  for (int i = 0; i < 4; ++i) {
    ClassicKeys keys;
    InitClassicKeys(keys, "pw");
    auto header = MakeClassicHeader(keys, crc);
    ClassicKeys plain_keys;
    InitClassicKeys(plain_keys, "pw");
    ClassicDecrypt(plain_keys, header);
    EXPECT_EQ(header[10], 0xFE);
    EXPECT_EQ(header[11], 0xCA);
    heads.insert({header.begin(), header.begin() + 10});
  }
  EXPECT_EQ(heads.size(), 4u) << "random header bytes repeat";
}

// --- AES transform

struct Strength {
  int bits;
  CryptoAlgorithm algorithm;
  int start_block;
  std::uint8_t strength_byte;
};
const Strength kStrengths[] = {
    {128, CryptoAlgorithm::caAES_128, 10, 1},
    {192, CryptoAlgorithm::caAES_192, 14, 2},
    {256, CryptoAlgorithm::caAES_256, 18, 3},
};

TEST(AesTransform, BlocksAndExtraFieldFollowTheStrength) {
  for (const Strength& s : kStrengths) {
    SCOPED_TRACE(s.bits);
    AESCryptoTransform aes(s.bits, 2, method::kDeflated);
    DirItem item;
    aes.Initialize(CryptoTransformMode::Encryption, item);
    aes.GenerateKey("pw");
    EXPECT_EQ(aes.GetFileStorageStartBlockSize(), s.start_block);
    EXPECT_EQ(aes.GetFileStorageStartBlock().size(), static_cast<std::size_t>(s.start_block));
    EXPECT_EQ(aes.GetKey().size(), static_cast<std::size_t>(s.bits / 8));
    EXPECT_EQ(aes.GetFileStorageEndBlockSize(), 10);
    EXPECT_EQ(aes.GetFileStorageEndBlock().size(), 10u);
    const ExtraFieldDataBlock block = aes.GetExtraFieldData();
    EXPECT_EQ(block.headerID, 0x9901);
    EXPECT_EQ(block.dataSize, 7);
    EXPECT_EQ(block.data, (std::vector<std::uint8_t>{2, 0, 'A', 'E', s.strength_byte, 8, 0}));
  }
}

TEST(AesTransform, ItemOverheadIsStartAndEndBlocks) {
  const auto plain = Pattern(50);
  const StoredItem stored = EncryptItem(CryptoAlgorithm::caAES_256, "pw", plain, false);
  EXPECT_EQ(stored.data.size(), plain.size() + 28);
  EXPECT_EQ(stored.compMethod, 99);
  ASSERT_EQ(stored.extra.size(), 1u);
  EXPECT_EQ(stored.extra[0].data[4], 3);
  EXPECT_EQ(stored.extra[0].data[5], 0) << "the real method is stored";
}

TEST(AesTransform, RefusesUnknownStrengthAndShortOutput) {
  EXPECT_THROW(AESCryptoTransform(100, 2, 0), std::invalid_argument);
  AESCryptoTransform aes(128, 2, 0);
  std::vector<std::uint8_t> in(16), out(15);
  EXPECT_THROW(aes.EncryptBuffer(in, out), std::logic_error) << "no key yet";
  DirItem item;
  aes.Initialize(CryptoTransformMode::Encryption, item);
  aes.GenerateKey("pw");
  EXPECT_THROW(aes.EncryptBuffer(in, out), std::invalid_argument);
}

// Decrypts `stored` (start block, data, end block) with a fresh transform, feeding the data
// in two pieces split at `split`.
struct AesDecoded {
  bool password_ok = false;
  std::vector<std::uint8_t> plain;
  bool corrupted = true;
};
AesDecoded AesDecrypt(int bits, const std::vector<std::uint8_t>& stored,
                      const std::string& password, std::size_t split) {
  AesDecoded result;
  AESCryptoTransform aes(bits, 2, 0);
  DirItem item;
  aes.Initialize(CryptoTransformMode::Decryption, item);
  aes.GenerateKey(password);
  MemoryStream stream = StreamOf(stored);
  aes.LoadFileStorageStartBlock(stream, 0);
  result.password_ok = aes.CheckPassword(password, item);
  const auto start = static_cast<std::size_t>(aes.GetFileStorageStartBlockSize());
  const std::size_t count = stored.size() - start - 10;
  result.plain.assign(stored.begin() + static_cast<std::ptrdiff_t>(start),
                      stored.begin() + static_cast<std::ptrdiff_t>(start + count));
  split = std::min(split, count);
  std::span<std::uint8_t> data(result.plain);
  aes.DecryptBuffer(data.first(split), data.first(split));
  aes.DecryptBuffer(data.subspan(split), data.subspan(split));
  stream.SetPosition(static_cast<std::int64_t>(start + count));
  aes.LoadFileStorageEndBlock(stream, 0);
  result.corrupted = aes.IsDirItemCorrupted(item, 0);
  return result;
}

TEST(AesTransform, DecryptsWhateverTheChunking) {
  const auto plain = Pattern(1000);
  for (const Strength& s : kStrengths) {
    const StoredItem stored = EncryptItem(s.algorithm, "pw", plain, false);
    for (std::size_t split : {0, 1, 15, 16, 17, 500, 999, 1000}) {
      SCOPED_TRACE(::testing::Message() << s.bits << " split " << split);
      const AesDecoded d = AesDecrypt(s.bits, stored.data, "pw", split);
      EXPECT_TRUE(d.password_ok);
      EXPECT_EQ(d.plain, plain);
      EXPECT_FALSE(d.corrupted);
    }
  }
}

TEST(AesTransform, CheckPasswordAnswersWithoutChangingTheKeys) {
  const StoredItem stored = EncryptItem(CryptoAlgorithm::caAES_192, "right", Pattern(10), false);
  AESCryptoTransform aes(192, 2, 0);
  DirItem item;
  aes.Initialize(CryptoTransformMode::Decryption, item);
  aes.GenerateKey("right");
  MemoryStream stream = StreamOf(stored.data);
  aes.LoadFileStorageStartBlock(stream, 0);
  const std::vector<std::uint8_t> key(aes.GetKey().begin(), aes.GetKey().end());
  EXPECT_FALSE(aes.CheckPassword("wrong", item));
  EXPECT_TRUE(aes.CheckPassword("right", item));
  EXPECT_EQ(std::vector<std::uint8_t>(aes.GetKey().begin(), aes.GetKey().end()), key);
  EXPECT_EQ(aes.GetPassword(), "right");
}

TEST(AesTransform, DamageFailsTheAuthenticationCheck) {
  const auto plain = Pattern(300);
  const StoredItem stored = EncryptItem(CryptoAlgorithm::caAES_256, "pw", plain, false);
  struct Case {
    const char* what;
    std::size_t flip;  // byte to flip; npos: none
    std::size_t cut;   // bytes removed from the end
    bool corrupted;
  };
  const std::size_t npos = std::size_t(-1);
  const Case cases[] = {
      {"intact", npos, 0, false},
      {"first ciphertext byte", 18, 0, true},
      {"last ciphertext byte", 18 + 299, 0, true},
      {"authentication code", stored.data.size() - 1, 0, true},
      {"end block cut short", npos, 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto data = stored.data;
    if (c.flip != npos) data[c.flip] ^= 0x01;
    AESCryptoTransform aes(256, 2, 0);
    DirItem item;
    aes.Initialize(CryptoTransformMode::Decryption, item);
    aes.GenerateKey("pw");
    data.resize(data.size() - c.cut);
    MemoryStream stream = StreamOf(data);
    aes.LoadFileStorageStartBlock(stream, 0);
    ASSERT_TRUE(aes.CheckPassword("pw", item));
    std::vector<std::uint8_t> body(data.begin() + 18, data.begin() + 18 + 300);
    aes.DecryptBuffer(body, body);
    aes.LoadFileStorageEndBlock(stream, 300);
    EXPECT_EQ(aes.IsDirItemCorrupted(item, Crc32(plain)), c.corrupted);
  }
}

TEST(AesTransform, SaltsComeFromTheRandomSource) {
  {
    RepeatableRandom random(7);
    const StoredItem a = EncryptItem(CryptoAlgorithm::caAES_128, "pw", Pattern(40), false);
    EXPECT_EQ(std::vector<std::uint8_t>(a.data.begin(), a.data.begin() + 8),
              (std::vector<std::uint8_t>{7, 8, 9, 10, 11, 12, 13, 14}));
  }
  // The default source: two items under one password never share a salt (and a keystream).
  const StoredItem a = EncryptItem(CryptoAlgorithm::caAES_128, "pw", Pattern(40), false);
  const StoredItem b = EncryptItem(CryptoAlgorithm::caAES_128, "pw", Pattern(40), false);
  EXPECT_NE(a.data, b.data);
}

// --- The per-item decipher

// Only an entry of the alternate set goes without the AES block at a high version; a ZIP
// entry's version field switches nothing off.
TEST(ItemDecipher, AesBlockOfAnAlternateEntryMeansClassic) {
  DirItem item;
  item.EncryptionAlgorithm = CryptoAlgorithm::caAES_256;
  item.CentralDir.signature = sig::kAltCentralDir;
  item.CentralDir.extractVersion = kAltVersionThreshold;
  const auto is_aes = [&] {
    return dynamic_cast<AesDecipher*>(MakeItemDecipher(item, ZipLocalHeader{}).get()) != nullptr;
  };
  EXPECT_FALSE(is_aes());
  item.CentralDir.signature = sig::kCentralDir;
  EXPECT_TRUE(is_aes());
  item.CentralDir.signature = sig::kAltCentralDir;
  item.CentralDir.extractVersion = 51;
  EXPECT_TRUE(is_aes());
}

TEST(ItemDecipher, ClassicDamageFailsTheCrc) {
  RepeatableRandom random;
  const auto plain = Pattern(200);
  StoredItem stored = EncryptItem(CryptoAlgorithm::caPkzipClassic, "pw", plain, false);
  stored.data[12 + 100] ^= 0x20;
  DirItem item;
  item.CentralDir.crc32 = stored.crc32;
  ZipLocalHeader local;
  local.crc32 = stored.crc32;
  const auto decipher = MakeItemDecipher(item, local);
  MemoryStream stream = StreamOf(stored.data);
  ASSERT_TRUE(decipher->CheckPassword(stream, "pw"));
  std::vector<std::uint8_t> body(plain.size());
  stream.ReadBuffer(body.data(), body.size());
  decipher->Decrypt(body);
  EXPECT_NE(body, plain);
  EXPECT_FALSE(decipher->Verify(stream, item, Crc32(body)));
}

}  // namespace
}  // namespace qm::archive::testing
