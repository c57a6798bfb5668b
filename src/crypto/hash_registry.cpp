#include "crypto/hash_registry.h"

#include <array>
#include <atomic>
#include <cctype>

#include "crypto/sha1.h"
#include "crypto/wipe.h"

namespace qm::crypto {
namespace {

bool WellFormed(const HashDescriptor* d) {
  return d != nullptr && d->magic == kHashMagic && d->version == kHashVersion &&
         d->record_size == kHashDescriptorSize && d->block_size <= kMaxHashBlockSize &&
         d->digest_size <= kMaxHashDigestSize && d->init && d->update && d->finalize;
}

bool Answers(const HashDescriptor* d, int index) {
  return d != nullptr && d->magic == kHashMagic &&
         (d->index & 0xFF) == static_cast<unsigned>(index);
}

using Slots = std::array<std::atomic<const HashDescriptor*>, kHashSlots>;

// Filled on first use, which also makes the start-up registration of SHA-1 independent of
// the order in which static objects of different files are constructed.
Slots& Registry() {
  struct Table {
    Slots slots{};
    Table() { slots[kSha1HashIndex].store(&Sha1Descriptor()); }
  };
  static Table table;
  return table.slots;
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

void RegisterHash(int index, const HashDescriptor* descriptor) {
  if (index < 0 || index >= kHashSlots) return;
  if (!WellFormed(descriptor) || (descriptor->index & 0xFF) != static_cast<unsigned>(index)) return;
  Registry()[static_cast<std::size_t>(index)].store(descriptor);
}

const HashDescriptor* HashByIndex(int index) {
  if (index < 0 || index >= kHashSlots) return nullptr;
  const HashDescriptor* d = Registry()[static_cast<std::size_t>(index)].load();
  return Answers(d, index) ? d : nullptr;
}

const HashDescriptor* HashByName(std::string_view name) {
  name = name.substr(0, 19);
  for (int i = 0; i < kHashSlots; ++i) {
    const HashDescriptor* d = Registry()[static_cast<std::size_t>(i)].load();
    if (!Answers(d, i)) continue;
    const std::string_view candidate = d->Name();
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) {
      same = Upper(name[k]) == Upper(candidate[k]);
    }
    if (same) return d;
  }
  return nullptr;
}

void HashData(const HashDescriptor& descriptor, const void* data, std::size_t length,
              std::uint8_t* digest) {
  HashContext context;
  descriptor.init(context);
  descriptor.update(context, static_cast<const std::uint8_t*>(data), length);
  descriptor.finalize(context, digest);
}

}  // namespace qm::crypto
