#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "crypto/hash_descriptor.h"

namespace qm::crypto {

inline constexpr int kHashSlots = 9;
inline constexpr int kSha1HashIndex = 3;

// The process-wide hash registry: slots 0 to 8. SHA-1 is entered in slot 3 the first time the
// registry is used, so it is there for every caller without any start-up call. Lookups are
// safe from any thread; registration is meant for start-up.

// Stores `descriptor` in slot `index` when it is given, its index byte equals `index`, and its
// magic, version and record size are right (and its sizes fit the generic contexts);
// otherwise nothing happens.
void RegisterHash(int index, const HashDescriptor* descriptor);
// The descriptor in slot `index`, or null.
const HashDescriptor* HashByIndex(int index);
// The first registered descriptor whose name equals the first 19 characters of `name`,
// compared without regard to ASCII letter case, or null.
const HashDescriptor* HashByName(std::string_view name);
// Hashes `data` in a private context; `digest` receives digest_size bytes.
void HashData(const HashDescriptor& descriptor, const void* data, std::size_t length,
              std::uint8_t* digest);

}  // namespace qm::crypto
