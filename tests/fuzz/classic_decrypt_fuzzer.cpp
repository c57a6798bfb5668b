// libFuzzer target for the classic cipher: any bytes as a 12-byte header and data, checked
// against a password taken from the input; and encryption followed by decryption must give the
// bytes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "archive/encryption/classic_cipher.h"
#include "platform/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t password_length = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string password(reinterpret_cast<const char*>(data + 1), password_length);
  const std::vector<std::uint8_t> rest(data + 1 + password_length, data + size);

  qm::archive::ClassicKeys keys;
  qm::platform::MemoryStream stream(std::vector<unsigned char>(rest.begin(), rest.end()));
  try {
    if (qm::archive::CheckClassicHeader(stream, password, keys, 0x12345678, 0x9ABC,
                                        rest.empty() ? 0 : rest[0])) {
      std::vector<std::uint8_t> body(rest.begin() + 12, rest.end());
      qm::archive::ClassicDecrypt(keys, body);
    }
  } catch (const std::exception&) {
    // A short header is refused by the stream.
  }

  std::vector<std::uint8_t> round(rest);
  qm::archive::ClassicKeys encrypt;
  qm::archive::ClassicKeys decrypt;
  qm::archive::InitClassicKeys(encrypt, password);
  qm::archive::InitClassicKeys(decrypt, password);
  qm::archive::ClassicEncrypt(encrypt, round);
  // Chunk boundaries must not matter.
  const std::size_t cut = round.size() / 3;
  qm::archive::ClassicDecrypt(decrypt, std::span(round).first(cut));
  qm::archive::ClassicDecrypt(decrypt, std::span(round).subspan(cut));
  if (round != rest) std::abort();
  return 0;
}
