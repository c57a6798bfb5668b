#include "crypto/cipher_registry.h"

#include <mutex>

#include "crypto/rijndael_cipher.h"

namespace qm::crypto {
namespace {

struct Entry {
  CipherFactory factory;
  std::string name;
  std::string description;
};

struct Registry {
  std::mutex mutex;
  std::vector<Entry> entries;

  void Add(CipherFactory factory, std::string_view name, std::string_view description) {
    for (auto& e : entries) {
      if (e.factory == factory) {
        e.name = name;
        e.description = description;
        return;
      }
    }
    entries.push_back({factory, std::string(name), std::string(description)});
  }
};

std::unique_ptr<Cipher> MakeRijndael() {
  return std::make_unique<RijndaelCipher>();
}

Registry& TheRegistry() {
  static Registry* registry = [] {
    static Registry r;
    r.Add(&MakeRijndael, "Rijndael", "");
    return &r;
  }();
  return *registry;
}

}  // namespace

void RegisterCipher(CipherFactory factory, std::string_view name, std::string_view description) {
  if (factory == nullptr) return;
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.Add(factory, name, description);
}

std::vector<std::string> CipherList() {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> lines;
  for (const auto& e : r.entries) lines.push_back(e.name + "=" + e.description);
  return lines;
}

CipherFactory FindCipherClass(std::string_view name) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (const auto& e : r.entries) {
    if (e.name == name) return e.factory;
  }
  return nullptr;
}

}  // namespace qm::crypto
