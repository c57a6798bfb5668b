#pragma once

// The traditional PKWARE cipher of the ZIP application note: a key state of three 32-bit
// words, driven by the plain bytes, that yields one keystream byte at a time. It is weak (a
// dozen bytes of known plaintext break it) and is kept for what other tools write and read.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "archive/format/records.h"

namespace qm::platform {
class Stream;
}

namespace qm::archive {

struct ClassicKeys {
  std::uint32_t key0 = 0;
  std::uint32_t key1 = 0;
  std::uint32_t key2 = 0;

  ClassicKeys() = default;
  ClassicKeys(const ClassicKeys&) = default;
  ClassicKeys& operator=(const ClassicKeys&) = default;
  // The keys are as secret as the password they come from.
  ~ClassicKeys() { Wipe(); }
  void Wipe();
};

// Keys 0x12345678, 0x23456789, 0x34567890, then every password byte in order.
void InitClassicKeys(ClassicKeys& keys, std::string_view password);
void UpdateClassicKeys(ClassicKeys& keys, std::uint8_t plain);
std::uint8_t ClassicKeystreamByte(const ClassicKeys& keys);

// In place; the key state runs on across calls, so chunk boundaries do not matter.
void ClassicEncrypt(ClassicKeys& keys, std::span<std::uint8_t> data);
void ClassicDecrypt(ClassicKeys& keys, std::span<std::uint8_t> data);

// The byte the classic header's last byte must decrypt to: the high byte of the local
// header's time when the item's sizes follow its data (flag bit 3, the size and CRC were not
// known when the header was written), else the high byte of the CRC.
std::uint8_t ClassicCheckByte(std::uint32_t crc, std::uint16_t time, std::uint16_t flags);

// Reads the 12-byte header at the stream's position (a short read throws the stream's
// ReadError), sets the keys from `password` and decrypts the header with them. True when its
// last byte is the check byte; the keys are then ready for the data that follows. About one
// wrong password in 256 passes; the item's CRC catches it.
bool CheckClassicHeader(platform::Stream& stream, std::string_view password, ClassicKeys& keys,
                        std::uint32_t crc, std::uint16_t time, std::uint16_t flags);

// The header an encrypting writer puts before the data: ten random bytes (from the encryption
// random source) and the high two bytes of the item's CRC, encrypted with keys that were just
// set from the password. The keys are left ready for the data.
std::array<std::uint8_t, kClassicHeaderLength> MakeClassicHeader(ClassicKeys& keys,
                                                                 std::uint32_t crc);

}  // namespace qm::archive
