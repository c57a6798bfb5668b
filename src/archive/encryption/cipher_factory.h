#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archive_types.h"
#include "archive/directory/dir_item.h"
#include "archive/encryption/item_decipher.h"
#include "archive/encryption/item_encipher.h"
#include "archive/format/records.h"

namespace qm::archive {

// Key bits of an AES algorithm value; 0 for the classic cipher.
int AesKeyBits(CryptoAlgorithm algorithm);

// The decipher for an encrypted item: AES for entries that keep the ZIP checks (SkipsZipChecks)
// whose EncryptionAlgorithm is an AES value, the classic cipher otherwise, whose check byte comes
// from `local` (flags, time and CRC). Never null.
std::unique_ptr<ItemDecipher> MakeItemDecipher(const DirItem& item, const ZipLocalHeader& local);

// The encipher for a new item: AES when `algorithm` is an AES value, else the classic cipher,
// whose header needs `crc32`, the CRC of the item's plain data. Never null.
std::unique_ptr<ItemEncipher> MakeItemEncipher(const DirItem& item, CryptoAlgorithm algorithm,
                                               const std::string& password, std::uint32_t crc32);

}  // namespace qm::archive
