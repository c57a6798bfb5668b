#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "crypto/accelerated_kernels.h"
#include "crypto/aes_core.h"
#include "crypto/rijndael_cipher.h"
#include "support/temp_dir.h"
#include "test_util.h"

namespace qm::crypto {
namespace {

using testing::BothPaths;
using testing::Hex;
using testing::Pattern;
using testing::ToHex;

const char kKey256[] = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";

std::unique_ptr<RijndaelCipher> CtrCipher(std::vector<std::uint8_t> key) {
  auto cipher = std::make_unique<RijndaelCipher>(std::span(key));
  cipher->SetMode(CipherMode::cmCTR);
  return cipher;
}

class CounterMode : public BothPaths {};

// Expected values from OpenSSL, one call per 16-byte block with the counter block as IV:
//   openssl enc -aes-256-ctr -K <key> -iv 01000000000000000000000000000000   (block 1)
//   ... -iv 02000000000000000000000000000000 (block 2), 0300... for the 11-byte tail.
// OpenSSL counts big-endian over all 16 bytes, so its stream and ours agree block by block
// when each block is started from its own counter value.
TEST_P(CounterMode, MatchesOpenSslPerCounterBlock) {
  auto cipher = CtrCipher(Hex(kKey256));
  auto data = testing::Bytes("The quick brown fox jumps over the lazy dog");
  cipher->EncodeBuffer(data.data(), data.data(), data.size());
  EXPECT_EQ(ToHex(data),
            "93dd7ca41b64287fbd8c65b96c8f6f88"
            "289bc0ab81a02423b05f95800b88ea0f"
            "e8a62112eef3d2113ab155");

  // AES-128, FIPS-197 appendix B key: openssl enc -aes-128-ctr -K 2b7e...4f3c -iv 0100...00
  auto cipher128 = CtrCipher(Hex("2b7e151628aed2a6abf7158809cf4f3c"));
  auto block = testing::Bytes("The quick brown ");
  cipher128->EncodeBuffer(block.data(), block.data(), block.size());
  EXPECT_EQ(ToHex(block), "2a3152bb2346fffe4e85cf5e8c42a51e");
}

TEST_P(CounterMode, ChunkBoundariesDoNotMatter) {
  const auto plain = Pattern(1000);
  auto whole = plain;
  CtrCipher(Hex(kKey256))->EncodeBuffer(whole.data(), whole.data(), whole.size());

  for (std::size_t first : {10, 1, 15, 16, 17, 129}) {
    SCOPED_TRACE(first);
    auto cipher = CtrCipher(Hex(kKey256));
    auto chunked = plain;
    std::size_t pos = 0;
    for (std::size_t step = first; pos < chunked.size(); step = step * 3 % 257 + 1) {
      const std::size_t n = std::min(step, chunked.size() - pos);
      cipher->EncodeBuffer(chunked.data() + pos, chunked.data() + pos, n);
      pos += n;
    }
    EXPECT_EQ(chunked, whole);
  }

  // The case named for the archive path: 10 then 30 bytes equals 40 at once.
  auto a = CtrCipher(Hex(kKey256));
  auto b = CtrCipher(Hex(kKey256));
  auto x = Pattern(40), y = Pattern(40);
  a->EncodeBuffer(x.data(), x.data(), 10);
  a->EncodeBuffer(x.data() + 10, x.data() + 10, 30);
  b->EncodeBuffer(y.data(), y.data(), 40);
  EXPECT_EQ(x, y);
}

TEST_P(CounterMode, FreshCipherDecodesAndSeparateBuffersWork) {
  const auto plain = Pattern(777, 3);
  std::vector<std::uint8_t> encoded(plain.size());
  CtrCipher(Hex(kKey256))->EncodeBuffer(plain.data(), encoded.data(), plain.size());
  EXPECT_NE(encoded, plain);
  std::vector<std::uint8_t> decoded(plain.size());
  CtrCipher(Hex(kKey256))->DecodeBuffer(encoded.data(), decoded.data(), encoded.size());
  EXPECT_EQ(decoded, plain);
}

TEST_P(CounterMode, ReKeyingRestartsTheCounter) {
  auto cipher = CtrCipher(Hex(kKey256));
  std::vector<std::uint8_t> junk(23);
  cipher->EncodeBuffer(junk.data(), junk.data(), junk.size());
  auto key = Hex(kKey256);
  cipher->InitKey(std::span(key), nullptr);
  auto data = Pattern(50);
  auto expected = data;
  cipher->EncodeBuffer(data.data(), data.data(), data.size());
  CtrCipher(Hex(kKey256))->EncodeBuffer(expected.data(), expected.data(), expected.size());
  EXPECT_EQ(data, expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, CounterMode, ::testing::Bool(), testing::PathName);

TEST(CounterModeInterop, KeystreamEqualsOpenSslEcbOfLittleEndianCounters) {
  if (::qm::testing::RunCommand("openssl version") != 0) GTEST_SKIP() << "no openssl";
  // 300 blocks: the counter's low byte carries into byte 1 at block 256.
  constexpr std::size_t kBlocks = 300;
  std::vector<std::uint8_t> counters(16 * kBlocks, 0);
  for (std::size_t i = 0; i < kBlocks; ++i) {
    const std::size_t value = i + 1;
    counters[16 * i] = static_cast<std::uint8_t>(value);
    counters[16 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    for (std::size_t k = 8; k < 16; ++k) counters[16 * i + k] = 0;
  }
  const auto in = testing::UniqueTempPath("qm_ctr_counters");
  const auto out = testing::UniqueTempPath("qm_ctr_keystream");
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(counters.data()),
             static_cast<std::streamsize>(counters.size()));
  const std::string command = std::string("openssl enc -aes-256-ecb -nopad -K ") + kKey256 +
                              " -in " + in.string() + " -out " + out.string();
  std::string output;
  ASSERT_EQ(::qm::testing::RunCommand(command, &output), 0) << output;
  std::ifstream result(out, std::ios::binary);
  const std::vector<std::uint8_t> keystream{std::istreambuf_iterator<char>(result), {}};
  result.close();  // Windows removes no file that is still open
  std::filesystem::remove(in);
  std::filesystem::remove(out);

  for (bool hw : {true, false}) {
    SetHardwareAcceleration(hw);
    std::vector<std::uint8_t> zeros(16 * kBlocks, 0);
    CtrCipher(Hex(kKey256))->EncodeBuffer(zeros.data(), zeros.data(), zeros.size());
    EXPECT_EQ(zeros, keystream) << (hw ? "accelerated" : "portable");
  }
  SetHardwareAcceleration(true);
}

TEST(CounterModeInterop, AcceleratedAndPortableAgreeOnLargeData) {
  const auto plain = Pattern(100000, 9);
  auto encoded = plain;
  SetHardwareAcceleration(true);
  auto enc = CtrCipher(Hex(kKey256));
  for (std::size_t pos = 0, step = 1; pos < encoded.size();
       pos += step, step = step * 7 % 4099 + 1) {
    const std::size_t n = std::min(step, encoded.size() - pos);
    enc->EncodeBuffer(encoded.data() + pos, encoded.data() + pos, n);
  }
  SetHardwareAcceleration(false);
  auto dec = CtrCipher(Hex(kKey256));
  dec->DecodeBuffer(encoded.data(), encoded.data(), encoded.size());
  SetHardwareAcceleration(true);
  EXPECT_EQ(encoded, plain);
}

// The counter wraps within its 8 bytes: no carry reaches byte 8. A cipher object would need
// 2^64 blocks to get there, so the batch kernel is driven directly from just below the wrap,
// over enough blocks to pass through its wide and narrow loops.
TEST(CounterModeInterop, BatchKernelDropsTheCarryOutOfByte7) {
  if (!detail::CpuHasAes()) GTEST_SKIP() << "no AES instructions";
  const auto key = Hex(kKey256);
  std::uint8_t schedule[detail::kAesScheduleBytes];
  detail::AesExpandKey(key.data(), 14, schedule);
  const std::uint8_t high_bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint64_t high;
  std::memcpy(&high, high_bytes, 8);

  constexpr std::size_t kBlocks = 45;
  const std::uint64_t start = ~std::uint64_t{0} - 20;
  std::vector<std::uint8_t> expected(16 * kBlocks, 0);
  for (std::size_t i = 0; i < kBlocks; ++i) {
    std::uint8_t block[16];
    const std::uint64_t value = start + 1 + i;  // wraps to 0 after 2^64 - 1
    for (int b = 0; b < 8; ++b) block[b] = static_cast<std::uint8_t>(value >> (8 * b));
    std::memcpy(block + 8, high_bytes, 8);
    detail::AesEncryptBlockPortable(schedule, 14, block);
    std::memcpy(expected.data() + 16 * i, block, 16);
  }
  std::vector<std::uint8_t> data(16 * kBlocks, 0);
  std::uint64_t counter = start;
  detail::AesHwCtrBlocks(schedule, 14, counter, high, data.data(), data.data(), kBlocks);
  EXPECT_EQ(ToHex(data), ToHex(expected));
  EXPECT_EQ(counter, start + kBlocks);
}

// --- The other modes, against their rules written out with the bare block transform.

struct Reference {
  RijndaelCipher block;
  std::vector<std::uint8_t> f;
  explicit Reference(const std::vector<std::uint8_t>& key) {
    block.Init(key.data(), static_cast<int>(key.size()), nullptr);
    f.assign(block.Vector().begin(), block.Vector().end());
  }
  std::vector<std::uint8_t> E(std::vector<std::uint8_t> b) {
    block.EncryptBlock(b.data());
    return b;
  }
};

std::vector<std::uint8_t> Xor(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) a[i] ^= b[i];
  return a;
}

// Output and final feedback of encoding `p` by the written-out rules.
std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> ByTheRules(
    CipherMode mode, const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& p) {
  Reference r(key);
  std::vector<std::uint8_t> out;
  auto& f = r.f;
  const bool mac =
      mode == CipherMode::cmCTSMAC || mode == CipherMode::cmCBCMAC || mode == CipherMode::cmCFBMAC;
  std::size_t i = 0;
  if (mode == CipherMode::cmCFB || mode == CipherMode::cmOFB || mode == CipherMode::cmCFBMAC) {
    for (; i < p.size(); ++i) {
      const auto b = r.E(f);
      const std::uint8_t c = p[i] ^ b[0];
      f.erase(f.begin());
      f.push_back(mode == CipherMode::cmOFB ? b[0] : c);
      out.push_back(c);
    }
  } else {
    for (; i + 16 <= p.size(); i += 16) {
      const std::vector<std::uint8_t> pb(p.begin() + static_cast<long>(i),
                                         p.begin() + static_cast<long>(i) + 16);
      if (mode == CipherMode::cmECB) {
        const auto c = r.E(pb);
        out.insert(out.end(), c.begin(), c.end());
        continue;
      }
      const auto c = r.E(Xor(pb, f));
      out.insert(out.end(), c.begin(), c.end());
      f = (mode == CipherMode::cmCTS || mode == CipherMode::cmCTSMAC) ? Xor(c, f) : c;
    }
    const std::vector<std::uint8_t> tail(p.begin() + static_cast<long>(i), p.end());
    if (!tail.empty() && mode != CipherMode::cmECB) {
      const auto b = r.E(f);
      const auto c = Xor(tail, b);
      out.insert(out.end(), c.begin(), c.end());
      f = Xor(b, f);
    }
  }
  if (mac) out = p;
  return {out, f};
}

class OtherModes : public ::testing::TestWithParam<CipherMode> {};

TEST_P(OtherModes, FollowTheirRulesAndRoundTrip) {
  const CipherMode mode = GetParam();
  const auto key = Pattern(24, 5);
  // 2 full blocks and a partial one, except for ECB whose partial block cannot be undone.
  const auto plain = Pattern(mode == CipherMode::cmECB ? 48 : 43, 11);
  const auto [expected, feedback] = ByTheRules(mode, key, plain);

  for (bool hw : {true, false}) {
    SCOPED_TRACE(hw ? "accelerated" : "portable");
    SetHardwareAcceleration(hw);
    RijndaelCipher enc, dec;
    enc.Init(key.data(), static_cast<int>(key.size()), nullptr);
    dec.Init(key.data(), static_cast<int>(key.size()), nullptr);
    enc.SetMode(mode);
    dec.SetMode(mode);
    auto data = plain;
    enc.EncodeBuffer(data.data(), data.data(), data.size());
    EXPECT_EQ(ToHex(data), ToHex(expected));
    EXPECT_EQ(ToHex(enc.Feedback().data(), 16), ToHex(feedback));
    dec.DecodeBuffer(data.data(), data.data(), data.size());
    EXPECT_EQ(data, plain);
    // The MAC forms evolve the same chaining state when decoding.
    EXPECT_EQ(ToHex(dec.Feedback().data(), 16), ToHex(enc.Feedback().data(), 16));
  }
  SetHardwareAcceleration(true);
}

INSTANTIATE_TEST_SUITE_P(Modes, OtherModes,
                         ::testing::Values(CipherMode::cmCTS, CipherMode::cmCBC, CipherMode::cmCFB,
                                           CipherMode::cmOFB, CipherMode::cmECB,
                                           CipherMode::cmCTSMAC, CipherMode::cmCBCMAC,
                                           CipherMode::cmCFBMAC));

}  // namespace
}  // namespace qm::crypto
