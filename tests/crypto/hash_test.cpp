#include <gtest/gtest.h>

#include <set>

#include "crypto/acceleration.h"
#include "crypto/hash_registry.h"
#include "crypto/hmac.h"
#include "crypto/pbkdf2.h"
#include "crypto/sha1.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

using testing::BothPaths;
using testing::Bytes;
using testing::Hex;
using testing::ToHex;

std::string Sha1Hex(const std::vector<std::uint8_t>& data, std::size_t chunk = 0) {
  Sha1Context ctx;
  Sha1Init(ctx);
  if (chunk == 0) chunk = data.size() + 1;
  for (std::size_t pos = 0; pos < data.size(); pos += chunk) {
    Sha1Update(ctx, data.data() + pos, std::min(chunk, data.size() - pos));
  }
  std::uint8_t digest[20];
  Sha1Final(ctx, digest);
  return ToHex(digest, 20);
}

class Sha1 : public BothPaths {};

TEST_P(Sha1, ReproducesFips180Examples) {
  EXPECT_EQ(Sha1Hex(Bytes("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  const auto two_blocks = Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
  EXPECT_EQ(Sha1Hex(two_blocks), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Sha1Hex(two_blocks, 1), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  const std::vector<std::uint8_t> million(1000000, 'a');
  EXPECT_EQ(Sha1Hex(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Hex(million, 4093), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Hex({}), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

// Lengths around the padding boundary: 55 bytes fit one final block, 56 need an extra one.
TEST_P(Sha1, AgreesAcrossPathsAtPaddingBoundaries) {
  for (std::size_t n : {55, 56, 63, 64, 65, 119, 120, 128}) {
    const auto data = testing::Pattern(n, static_cast<std::uint32_t>(n));
    const std::string here = Sha1Hex(data, 7);
    SetHardwareAcceleration(!GetParam());
    EXPECT_EQ(Sha1Hex(data), here) << n;
    SetHardwareAcceleration(GetParam());
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha1, ::testing::Bool(), testing::PathName);

TEST(HashRegistry, Sha1IsInSlot3AndFoundByNameInAnyCase) {
  const HashDescriptor* sha1 = HashByIndex(3);
  ASSERT_NE(sha1, nullptr);
  EXPECT_EQ(sha1->Name(), "SHA1");
  EXPECT_EQ(sha1->block_size, 64);
  EXPECT_EQ(sha1->digest_size, 20);
  EXPECT_EQ(sha1->oid_count, 6u);
  EXPECT_EQ(HashByName("sha1"), sha1);
  EXPECT_EQ(HashByName("SHA1"), sha1);
  EXPECT_EQ(HashByName("Sha1"), sha1);
  EXPECT_EQ(HashByName("SHA"), nullptr);
  EXPECT_EQ(HashByName("MD5"), nullptr);
  for (int i : {-1, 0, 1, 2, 4, 8, 9, 100}) EXPECT_EQ(HashByIndex(i), nullptr) << i;
}

TEST(HashRegistry, RefusesMalformedDescriptors) {
  HashDescriptor copy = Sha1Descriptor();
  copy.index = 5;
  HashDescriptor wrong_slot = copy;  // index byte 5, offered for slot 6
  HashDescriptor bad_magic = copy;
  bad_magic.magic = 0;
  HashDescriptor bad_version = copy;
  bad_version.version = 0x00010002;
  HashDescriptor huge_block = copy;
  huge_block.block_size = 4096;
  RegisterHash(6, &wrong_slot);
  RegisterHash(5, &bad_magic);
  RegisterHash(5, &bad_version);
  RegisterHash(5, &huge_block);
  RegisterHash(5, nullptr);
  RegisterHash(9, &copy);
  EXPECT_EQ(HashByIndex(5), nullptr);
  EXPECT_EQ(HashByIndex(6), nullptr);
  // A sound descriptor is taken; name lookup still answers the first slot.
  static HashDescriptor good = copy;
  RegisterHash(5, &good);
  EXPECT_EQ(HashByIndex(5), &good);
  EXPECT_EQ(HashByName("sha1"), HashByIndex(3));
}

std::string Hmac(const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& data) {
  HmacContext ctx;
  HmacInit(ctx, HashByName("SHA1"), key.data(), key.size());
  // Fed in two pieces to cover the running state.
  HmacUpdate(ctx, data.data(), data.size() / 2);
  HmacUpdate(ctx, data.data() + data.size() / 2, data.size() - data.size() / 2);
  std::uint8_t mac[20];
  HmacFinal(ctx, mac);
  return ToHex(mac, 20);
}

class HmacSha1 : public BothPaths {};

TEST_P(HmacSha1, ReproducesRfc2202) {
  struct Case {
    std::vector<std::uint8_t> key, data;
    const char* mac;
  };
  const Case cases[] = {
      {std::vector<std::uint8_t>(20, 0x0b), Bytes("Hi There"),
       "b617318655057264e28bc0b6fb378c8ef146be00"},
      {Bytes("Jefe"), Bytes("what do ya want for nothing?"),
       "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::vector<std::uint8_t>(20, 0xaa), std::vector<std::uint8_t>(50, 0xdd),
       "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {Hex("0102030405060708090a0b0c0d0e0f10111213141516171819"),
       std::vector<std::uint8_t>(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::vector<std::uint8_t>(20, 0x0c), Bytes("Test With Truncation"),
       "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {std::vector<std::uint8_t>(80, 0xaa),
       Bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::vector<std::uint8_t>(80, 0xaa),
       Bytes("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hmac(c.key, c.data), c.mac) << c.mac;
}

TEST_P(HmacSha1, KeyLongerThanABlockActsAsItsDigest) {
  const auto key = testing::Pattern(80);
  std::uint8_t digest[20];
  HashData(*HashByIndex(3), key.data(), key.size(), digest);
  const auto data = testing::Pattern(200, 2);
  EXPECT_EQ(Hmac(key, data), Hmac({digest, digest + 20}, data));
}

INSTANTIATE_TEST_SUITE_P(Paths, HmacSha1, ::testing::Bool(), testing::PathName);

TEST(HmacSha1, NoDescriptorDoesNothing) {
  HmacContext ctx;
  HmacInit(ctx, nullptr, "k", 1);
  HmacUpdate(ctx, "data", 4);
  std::uint8_t mac[20] = {1, 2, 3};
  HmacFinal(ctx, mac);
  EXPECT_EQ(mac[0], 1);
  EXPECT_EQ(mac[3], 0);
}

std::string Derive(std::string_view password, std::string_view salt, int iterations,
                   std::size_t length) {
  std::vector<std::uint8_t> out(length);
  EXPECT_EQ(Pbkdf2(HashByIndex(3), password.data(), password.size(), length, out.data(), iterations,
                   salt.size(), salt.data()),
            kPbkdf2Done);
  return ToHex(out);
}

TEST(Pbkdf2, ReproducesRfc6070AndLongKeysOnBothPaths) {
  using namespace std::string_view_literals;
  for (const bool hw : {false, true}) {
    SCOPED_TRACE(hw ? "processor instructions" : "portable");
    SetHardwareAcceleration(hw);
    EXPECT_EQ(Derive("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
    EXPECT_EQ(Derive("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    EXPECT_EQ(Derive("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
    EXPECT_EQ(Derive("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
              "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
    EXPECT_EQ(Derive("pass\0word"sv, "sa\0lt"sv, 4096, 16), "56fa6aa75548099dcc37d7f03425e0c3");
    // The 16777216-iteration vector takes seconds and adds nothing the others do not cover.
    // Output blocks run side by side in batches: an AES-256 item's four blocks, and a key of
    // five blocks (a batch of four and one left over), checked against Python's hashlib.
    EXPECT_EQ(Derive("bench password 1", "0123456789abcdef", 1000, 66),
              "42f05d3f9692c919123a7b56292a0cc9f718dc8461327ba82764cd0805138fd525abf502d00e56c6"
              "71a45158e51c162acff2a406130bdca33d7f5308cd43692dfa1e");
    EXPECT_EQ(Derive("password", "salt", 3, 90),
              "6b4e26125c25cf21ae35ead955f479ea2e71f6ff9e400029f04810eece31355533bb2ed348e604da"
              "707cc4562f85fe120c5c3f28ae007805d5e5fa11c0aa19fbfd399d4346298c4d98ad3f7af428400a"
              "1c420c887a81f168d3ae");
  }
  SetHardwareAcceleration(true);
}

TEST(Pbkdf2, StatusAndDegenerateInputs) {
  std::uint8_t out[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(Pbkdf2(nullptr, "p", 1, 8, out, 1, 1, "s"), kPbkdf2NoDescriptor);
  HashDescriptor no_digest = Sha1Descriptor();
  no_digest.digest_size = 0;
  EXPECT_EQ(Pbkdf2(&no_digest, "p", 1, 8, out, 1, 1, "s"), kPbkdf2NoDigest);
  EXPECT_EQ(Pbkdf2(HashByIndex(3), "p", 1, 8, out, 0, 1, "s"), kPbkdf2Done);
  EXPECT_EQ(ToHex(out, 8), "0000000000000000") << "no iterations leave the output zero";
}

TEST(PBKDF2Class, AesKeyMaterialOf66BytesTakesFourBlocks) {
  const std::vector<std::uint8_t> salt = Hex("0102030405060708090a0b0c0d0e0f10");
  PBKDF2 kdf("password", salt.data(), static_cast<int>(salt.size()), 1000);
  const auto key = kdf.GetKeyBytes(66);
  ASSERT_EQ(key.size(), 66u);
  // Longer output only appends: the first 66 bytes are the same, the 4th block starts at 60.
  const auto longer = kdf.GetKeyBytes(80);
  EXPECT_TRUE(std::equal(key.begin(), key.end(), longer.begin()));
  EXPECT_EQ(ToHex(key),
            Derive("password", {reinterpret_cast<const char*>(salt.data()), 16}, 1000, 66));
  EXPECT_EQ(kdf.GetSaltValue(), salt);
  EXPECT_EQ(kdf.IterationCount(), 1000);
  EXPECT_TRUE(kdf.GetKeyBytes(0).empty());
  EXPECT_TRUE(kdf.GetKeyBytes(-5).empty());
}

TEST(PBKDF2Class, PasswordsAndOutputsBeyondTheOldLimitsAreTakenWhole) {
  // A password longer than a block is its own SHA-1 digest as HMAC key, whatever its length;
  // this one is past the old 32764-byte work area.
  std::string password(100000, 'x');
  password[99999] = 'y';
  std::uint8_t digest[20];
  HashData(*HashByIndex(3), password.data(), password.size(), digest);
  PBKDF2 long_password(password, reinterpret_cast<const std::uint8_t*>("salt"), 4, 2);
  PBKDF2 as_digest(std::string(reinterpret_cast<char*>(digest), 20),
                   reinterpret_cast<const std::uint8_t*>("salt"), 4, 2);
  EXPECT_EQ(long_password.GetKeyBytes(40), as_digest.GetKeyBytes(40));

  // 70000 bytes of output: past 16-bit lengths, prefix of a longer output.
  const auto big = as_digest.GetKeyBytes(70000);
  ASSERT_EQ(big.size(), 70000u);
  const auto bigger = as_digest.GetKeyBytes(70001);
  EXPECT_TRUE(std::equal(big.begin(), big.end(), bigger.begin()));
  EXPECT_NE(std::vector<std::uint8_t>(big.end() - 20, big.end()), std::vector<std::uint8_t>(20, 0));
}

TEST(PBKDF2Class, RandomSaltsDifferAndNeverHoldFF) {
  std::set<std::vector<std::uint8_t>> salts;
  for (int i = 0; i < 50; ++i) {
    PBKDF2 kdf("same password", 16, 1);
    const auto salt = kdf.GetSaltValue();
    ASSERT_EQ(salt.size(), 16u);
    EXPECT_EQ(std::count(salt.begin(), salt.end(), 0xFF), 0);
    salts.insert(salt);
  }
  EXPECT_EQ(salts.size(), 50u);
}

TEST(PBKDF2Class, InstalledSaltGeneratorMakesSaltsRepeatable) {
  SetSaltGenerator([](std::span<std::uint8_t> salt) {
    for (std::size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<std::uint8_t>(i);
  });
  PBKDF2 a("pw", 8, 1), b("pw", 8, 1);
  SetSaltGenerator(nullptr);
  EXPECT_EQ(a.GetSaltValue(), Hex("0001020304050607"));
  EXPECT_EQ(a.GetKeyBytes(32), b.GetKeyBytes(32));
  PBKDF2 c("pw", 8, 1);
  EXPECT_NE(c.GetSaltValue(), a.GetSaltValue());
}

}  // namespace
}  // namespace qm::crypto
