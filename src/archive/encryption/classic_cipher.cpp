#include "archive/encryption/classic_cipher.h"

#include <array>

#include "archive/encryption/encryption_random.h"
#include "crypto/wipe.h"
#include "platform/stream.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

// One step of the reflected CRC-32 (polynomial 0xEDB88320) without the final inversion.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t byte) {
  return kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

void ClassicKeys::Wipe() {
  crypto::SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(this), sizeof(*this)));
}

void InitClassicKeys(ClassicKeys& keys, std::string_view password) {
  keys.key0 = 0x12345678;
  keys.key1 = 0x23456789;
  keys.key2 = 0x34567890;
  for (char c : password) UpdateClassicKeys(keys, static_cast<std::uint8_t>(c));
}

void UpdateClassicKeys(ClassicKeys& keys, std::uint8_t plain) {
  keys.key0 = CrcStep(keys.key0, plain);
  keys.key1 = (keys.key1 + (keys.key0 & 0xFF)) * 134775813u + 1;
  keys.key2 = CrcStep(keys.key2, static_cast<std::uint8_t>(keys.key1 >> 24));
}

std::uint8_t ClassicKeystreamByte(const ClassicKeys& keys) {
  const std::uint32_t t = (keys.key2 | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

void ClassicEncrypt(ClassicKeys& keys, std::span<std::uint8_t> data) {
  for (std::uint8_t& b : data) {
    const std::uint8_t plain = b;
    b = static_cast<std::uint8_t>(plain ^ ClassicKeystreamByte(keys));
    UpdateClassicKeys(keys, plain);
  }
}

void ClassicDecrypt(ClassicKeys& keys, std::span<std::uint8_t> data) {
  for (std::uint8_t& b : data) {
    b = static_cast<std::uint8_t>(b ^ ClassicKeystreamByte(keys));
    UpdateClassicKeys(keys, b);
  }
}

std::uint8_t ClassicCheckByte(std::uint32_t crc, std::uint16_t time, std::uint16_t flags) {
  return (flags & gpf::kDataDescriptor) ? static_cast<std::uint8_t>(time >> 8)
                                        : static_cast<std::uint8_t>(crc >> 24);
}

bool CheckClassicHeader(platform::Stream& stream, std::string_view password, ClassicKeys& keys,
                        std::uint32_t crc, std::uint16_t time, std::uint16_t flags) {
  std::array<std::uint8_t, kClassicHeaderLength> header{};
  stream.ReadBuffer(header.data(), header.size());
  InitClassicKeys(keys, password);
  ClassicDecrypt(keys, header);
  const bool ok = header[kClassicHeaderLength - 1] == ClassicCheckByte(crc, time, flags);
  crypto::SecureWipe(header);
  return ok;
}

std::array<std::uint8_t, kClassicHeaderLength> MakeClassicHeader(ClassicKeys& keys,
                                                                 std::uint32_t crc) {
  std::array<std::uint8_t, kClassicHeaderLength> header{};
  FillEncryptionRandom(std::span(header).first(kClassicHeaderLength - 2));
  header[kClassicHeaderLength - 2] = static_cast<std::uint8_t>(crc >> 16);
  header[kClassicHeaderLength - 1] = static_cast<std::uint8_t>(crc >> 24);
  ClassicEncrypt(keys, header);
  return header;
}

}  // namespace qm::archive
