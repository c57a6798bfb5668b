// Throughput of the crypto library's hot paths: AES-CTR (as the archive runs it, in place over
// 16 KiB chunks), SHA-1 and HMAC-SHA1. Prints "name bytes_per_second" lines for
// crypto_speed.sh, first with the processor instructions, then with the portable code.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "crypto/acceleration.h"
#include "crypto/hash_registry.h"
#include "crypto/hmac.h"
#include "crypto/rijndael_cipher.h"
#include "crypto/sha1.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kChunk = 16384;

template <class F>
double Rate(double seconds, F&& run_chunk) {
  std::uint64_t bytes = 0;
  const auto start = Clock::now();
  const auto stop = start + std::chrono::duration<double>(seconds);
  Clock::time_point now;
  do {
    for (int i = 0; i < 16; ++i) run_chunk();
    bytes += 16 * kChunk;
    now = Clock::now();
  } while (now < stop);
  return static_cast<double>(bytes) / std::chrono::duration<double>(now - start).count();
}

volatile std::uint8_t g_sink;

void RunAll(const char* suffix, double seconds) {
  std::vector<std::uint8_t> data(kChunk, 0x5A);

  for (int key_bytes : {16, 32}) {
    std::vector<std::uint8_t> key(static_cast<std::size_t>(key_bytes), 0x11);
    qm::crypto::RijndaelCipher cipher{std::span(key)};
    cipher.SetMode(qm::crypto::CipherMode::cmCTR);
    const double rate =
        Rate(seconds, [&] { cipher.EncodeBuffer(data.data(), data.data(), kChunk); });
    std::printf("aes-%d-ctr%s %.0f\n", key_bytes * 8, suffix, rate);
  }

  qm::crypto::Sha1Context sha;
  qm::crypto::Sha1Init(sha);
  const double sha_rate = Rate(seconds, [&] { qm::crypto::Sha1Update(sha, data.data(), kChunk); });
  std::uint8_t digest[20];
  qm::crypto::Sha1Final(sha, digest);
  g_sink = digest[0];
  std::printf("sha1%s %.0f\n", suffix, sha_rate);

  // One MAC per 16 KiB chunk, like openssl speed -hmac measures it.
  const auto* d = qm::crypto::HashByName("SHA1");
  const double hmac_rate = Rate(seconds, [&] {
    qm::crypto::HmacContext ctx;
    qm::crypto::HmacInit(ctx, d, "0123456789abcdef", 16);
    qm::crypto::HmacUpdate(ctx, data.data(), kChunk);
    qm::crypto::HmacFinal(ctx, digest);
  });
  g_sink = digest[0];
  std::printf("hmac-sha1%s %.0f\n", suffix, hmac_rate);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
  std::printf("# aes-instructions %d sha-instructions %d\n", qm::crypto::AesInstructionsInUse(),
              qm::crypto::ShaInstructionsInUse());
  qm::crypto::SetHardwareAcceleration(true);
  RunAll("", seconds);
  qm::crypto::SetHardwareAcceleration(false);
  RunAll("-portable", seconds);
  return 0;
}
