#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace qm::archive {

// Where encryption gets its random bytes: the AES salts and the ten random bytes of every
// classic header. The default draws from the standard library's non-deterministic source
// (the system's entropy pool), because both uses are security-relevant: an AES salt that
// repeats under the same password repeats the whole keystream, and classic header bytes an
// attacker can predict give the known plaintext that breaks the classic cipher.
// Tests install their own source to make encrypted output repeatable. Process-wide.
using EncryptionRandomSource = std::function<void(std::span<std::uint8_t> bytes)>;

// Installs `source`; an empty function restores the default.
void SetEncryptionRandomSource(EncryptionRandomSource source);
// Fills `bytes` from the installed source.
void FillEncryptionRandom(std::span<std::uint8_t> bytes);

}  // namespace qm::archive
