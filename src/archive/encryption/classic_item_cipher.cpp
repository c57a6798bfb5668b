#include "archive/encryption/classic_item_cipher.h"

namespace qm::archive {

bool ClassicDecipher::CheckPassword(platform::Stream& archive, const std::string& password) {
  if (password.empty()) {
    archive.Seek(static_cast<std::int64_t>(kClassicHeaderLength),
                 platform::Stream::Origin::kCurrent);
    return false;
  }
  return CheckClassicHeader(archive, password, keys_, local_.crc32, local_.lastModTime,
                            local_.genPurposeFlag);
}

bool ClassicDecipher::Verify(platform::Stream&, const DirItem& item, std::uint32_t crc) {
  return item.CentralDir.crc32 == crc;
}

ClassicEncipher::ClassicEncipher(const std::string& password, std::uint32_t crc32) : crc32_(crc32) {
  InitClassicKeys(keys_, password);
}

std::vector<std::uint8_t> ClassicEncipher::Header() {
  const auto header = MakeClassicHeader(keys_, crc32_);
  return {header.begin(), header.end()};
}

void ClassicEncipher::Encrypt(std::span<std::uint8_t> chunk) {
  ClassicEncrypt(keys_, chunk);
}

}  // namespace qm::archive
