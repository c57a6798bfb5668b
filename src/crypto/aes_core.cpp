#include "crypto/aes_core.h"

#include <array>
#include <cstring>

namespace qm::crypto::detail {
namespace {

constexpr std::uint8_t XTime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t product = 0;
  while (b != 0) {
    if (b & 1) product ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return product;
}

constexpr std::uint8_t Rotl8(std::uint8_t x, int n) {
  return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::uint32_t Rotl32(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

constexpr std::uint32_t Pack(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return std::uint32_t{b0} | (std::uint32_t{b1} << 8) | (std::uint32_t{b2} << 16) |
         (std::uint32_t{b3} << 24);
}

// Columns are held as little-endian words: byte r of the column (row r) is bits 8r..8r+7.
// Table k is table 0 rotated by 8k bits, i.e. the contribution of row k.
struct Tables {
  std::array<std::uint8_t, 256> sbox{};
  std::array<std::uint8_t, 256> inv_sbox{};
  std::array<std::array<std::uint32_t, 256>, 4> enc{};
  std::array<std::array<std::uint32_t, 256>, 4> dec{};
};

constexpr Tables MakeTables() {
  Tables t;
  // Walk the multiplicative group with generator 3: p runs over all non-zero elements while
  // q holds its inverse, then apply the affine map.
  std::uint8_t p = 1, q = 1;
  do {
    p = static_cast<std::uint8_t>(p ^ XTime(p));
    q = static_cast<std::uint8_t>(q ^ (q << 1));
    q = static_cast<std::uint8_t>(q ^ (q << 2));
    q = static_cast<std::uint8_t>(q ^ (q << 4));
    if (q & 0x80) q ^= 0x09;
    const std::uint8_t affine =
        static_cast<std::uint8_t>(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^ Rotl8(q, 4));
    t.sbox[p] = static_cast<std::uint8_t>(affine ^ 0x63);
  } while (p != 1);
  t.sbox[0] = 0x63;
  for (int i = 0; i < 256; ++i) t.inv_sbox[t.sbox[i]] = static_cast<std::uint8_t>(i);

  for (int i = 0; i < 256; ++i) {
    const std::uint8_t s = t.sbox[i];
    const std::uint32_t e = Pack(GfMul(s, 2), s, s, GfMul(s, 3));
    const std::uint8_t v = t.inv_sbox[i];
    const std::uint32_t d = Pack(GfMul(v, 14), GfMul(v, 9), GfMul(v, 13), GfMul(v, 11));
    for (int k = 0; k < 4; ++k) {
      t.enc[k][i] = k == 0 ? e : Rotl32(e, 8 * k);
      t.dec[k][i] = k == 0 ? d : Rotl32(d, 8 * k);
    }
  }
  return t;
}

constexpr Tables kTables = MakeTables();

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the library targets little-endian machines
}

inline void Store32(std::uint8_t* p, std::uint32_t v) {
  std::memcpy(p, &v, 4);
}

inline std::uint8_t Byte(std::uint32_t w, int n) {
  return static_cast<std::uint8_t>(w >> (8 * n));
}

std::uint32_t SubWord(std::uint32_t w) {
  return Pack(kTables.sbox[Byte(w, 0)], kTables.sbox[Byte(w, 1)], kTables.sbox[Byte(w, 2)],
              kTables.sbox[Byte(w, 3)]);
}

std::uint32_t InvMixColumn(std::uint32_t w) {
  // InvMixColumns(x) == dec tables applied to S(x), since they already include InvSubBytes.
  const auto& s = kTables.sbox;
  return kTables.dec[0][s[Byte(w, 0)]] ^ kTables.dec[1][s[Byte(w, 1)]] ^
         kTables.dec[2][s[Byte(w, 2)]] ^ kTables.dec[3][s[Byte(w, 3)]];
}

}  // namespace

void AesExpandKey(const std::uint8_t* key, int rounds, std::uint8_t* encrypt_schedule) {
  const int nk = rounds - 6;
  const int total = 4 * (rounds + 1);
  std::uint32_t w[4 * (kAesMaxRounds + 1)];
  for (int i = 0; i < nk; ++i) w[i] = Load32(key + 4 * i);
  std::uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    std::uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord(Rotl32(temp, 24)) ^ rcon;  // RotWord moves byte 1 to byte 0
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  for (int i = 0; i < total; ++i) Store32(encrypt_schedule + 4 * i, w[i]);
  std::memset(w, 0, sizeof w);
}

void AesMakeDecryptSchedule(const std::uint8_t* encrypt_schedule, int rounds,
                            std::uint8_t* decrypt_schedule) {
  std::memmove(decrypt_schedule, encrypt_schedule, 16 * (rounds + 1));
  for (int i = 4; i < 4 * rounds; ++i) {
    Store32(decrypt_schedule + 4 * i, InvMixColumn(Load32(decrypt_schedule + 4 * i)));
  }
}

void AesEncryptBlockPortable(const std::uint8_t* rk, int rounds, std::uint8_t* block) {
  const auto& te = kTables.enc;
  std::uint32_t s0 = Load32(block) ^ Load32(rk);
  std::uint32_t s1 = Load32(block + 4) ^ Load32(rk + 4);
  std::uint32_t s2 = Load32(block + 8) ^ Load32(rk + 8);
  std::uint32_t s3 = Load32(block + 12) ^ Load32(rk + 12);
  for (int r = 1; r < rounds; ++r) {
    rk += 16;
    const std::uint32_t t0 = te[0][Byte(s0, 0)] ^ te[1][Byte(s1, 1)] ^ te[2][Byte(s2, 2)] ^
                             te[3][Byte(s3, 3)] ^ Load32(rk);
    const std::uint32_t t1 = te[0][Byte(s1, 0)] ^ te[1][Byte(s2, 1)] ^ te[2][Byte(s3, 2)] ^
                             te[3][Byte(s0, 3)] ^ Load32(rk + 4);
    const std::uint32_t t2 = te[0][Byte(s2, 0)] ^ te[1][Byte(s3, 1)] ^ te[2][Byte(s0, 2)] ^
                             te[3][Byte(s1, 3)] ^ Load32(rk + 8);
    const std::uint32_t t3 = te[0][Byte(s3, 0)] ^ te[1][Byte(s0, 1)] ^ te[2][Byte(s1, 2)] ^
                             te[3][Byte(s2, 3)] ^ Load32(rk + 12);
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 16;
  const auto& sb = kTables.sbox;
  Store32(block,
          Pack(sb[Byte(s0, 0)], sb[Byte(s1, 1)], sb[Byte(s2, 2)], sb[Byte(s3, 3)]) ^ Load32(rk));
  Store32(block + 4, Pack(sb[Byte(s1, 0)], sb[Byte(s2, 1)], sb[Byte(s3, 2)], sb[Byte(s0, 3)]) ^
                         Load32(rk + 4));
  Store32(block + 8, Pack(sb[Byte(s2, 0)], sb[Byte(s3, 1)], sb[Byte(s0, 2)], sb[Byte(s1, 3)]) ^
                         Load32(rk + 8));
  Store32(block + 12, Pack(sb[Byte(s3, 0)], sb[Byte(s0, 1)], sb[Byte(s1, 2)], sb[Byte(s2, 3)]) ^
                          Load32(rk + 12));
}

void AesDecryptBlockPortable(const std::uint8_t* dk, int rounds, std::uint8_t* block) {
  const auto& td = kTables.dec;
  const std::uint8_t* rk = dk + 16 * rounds;
  std::uint32_t s0 = Load32(block) ^ Load32(rk);
  std::uint32_t s1 = Load32(block + 4) ^ Load32(rk + 4);
  std::uint32_t s2 = Load32(block + 8) ^ Load32(rk + 8);
  std::uint32_t s3 = Load32(block + 12) ^ Load32(rk + 12);
  for (int r = rounds - 1; r > 0; --r) {
    rk -= 16;
    const std::uint32_t t0 = td[0][Byte(s0, 0)] ^ td[1][Byte(s3, 1)] ^ td[2][Byte(s2, 2)] ^
                             td[3][Byte(s1, 3)] ^ Load32(rk);
    const std::uint32_t t1 = td[0][Byte(s1, 0)] ^ td[1][Byte(s0, 1)] ^ td[2][Byte(s3, 2)] ^
                             td[3][Byte(s2, 3)] ^ Load32(rk + 4);
    const std::uint32_t t2 = td[0][Byte(s2, 0)] ^ td[1][Byte(s1, 1)] ^ td[2][Byte(s0, 2)] ^
                             td[3][Byte(s3, 3)] ^ Load32(rk + 8);
    const std::uint32_t t3 = td[0][Byte(s3, 0)] ^ td[1][Byte(s2, 1)] ^ td[2][Byte(s1, 2)] ^
                             td[3][Byte(s0, 3)] ^ Load32(rk + 12);
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk -= 16;
  const auto& ib = kTables.inv_sbox;
  Store32(block,
          Pack(ib[Byte(s0, 0)], ib[Byte(s3, 1)], ib[Byte(s2, 2)], ib[Byte(s1, 3)]) ^ Load32(rk));
  Store32(block + 4, Pack(ib[Byte(s1, 0)], ib[Byte(s0, 1)], ib[Byte(s3, 2)], ib[Byte(s2, 3)]) ^
                         Load32(rk + 4));
  Store32(block + 8, Pack(ib[Byte(s2, 0)], ib[Byte(s1, 1)], ib[Byte(s0, 2)], ib[Byte(s3, 3)]) ^
                         Load32(rk + 8));
  Store32(block + 12, Pack(ib[Byte(s3, 0)], ib[Byte(s2, 1)], ib[Byte(s1, 2)], ib[Byte(s0, 3)]) ^
                          Load32(rk + 12));
}

}  // namespace qm::crypto::detail
