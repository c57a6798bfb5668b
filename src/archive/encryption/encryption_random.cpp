#include "archive/encryption/encryption_random.h"

#include <mutex>
#include <random>

namespace qm::archive {
namespace {

std::mutex g_mutex;
EncryptionRandomSource g_source;

void SystemRandom(std::span<std::uint8_t> bytes) {
  std::random_device device;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned int word = device();
    for (std::size_t k = 0; k < sizeof(word) && i < bytes.size(); ++k, ++i) {
      bytes[i] = static_cast<std::uint8_t>(word >> (8 * k));
    }
  }
}

}  // namespace

void SetEncryptionRandomSource(EncryptionRandomSource source) {
  std::lock_guard lock(g_mutex);
  g_source = std::move(source);
}

void FillEncryptionRandom(std::span<std::uint8_t> bytes) {
  EncryptionRandomSource source;
  {
    std::lock_guard lock(g_mutex);
    source = g_source;
  }
  if (source) {
    source(bytes);
  } else {
    SystemRandom(bytes);
  }
}

}  // namespace qm::archive
