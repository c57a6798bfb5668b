#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

namespace qm::crypto {

inline constexpr std::uint16_t kHashMagic = 0x3D7A;
inline constexpr std::uint16_t kHashDescriptorSize = 80;
inline constexpr std::uint32_t kHashVersion = 0x00010003;
// Limits of the generic contexts below; a descriptor beyond them is not registered.
inline constexpr std::size_t kMaxHashBlockSize = 128;
inline constexpr std::size_t kMaxHashDigestSize = 64;
inline constexpr std::size_t kHashContextSize = 256;

// Working state of any registered hash; each algorithm lays out its own context inside.
struct HashContext {
  alignas(std::max_align_t) unsigned char storage[kHashContextSize];

  template <class T>
  T& As() {
    static_assert(sizeof(T) <= kHashContextSize);
    return *std::launder(reinterpret_cast<T*>(storage));
  }
  template <class T>
  const T& As() const {
    static_assert(sizeof(T) <= kHashContextSize);
    return *std::launder(reinterpret_cast<const T*>(storage));
  }
};

// Describes one hash algorithm to the registry. The record size keeps the value of the
// original 32-bit record layout; here it only tags the descriptor's version.
struct HashDescriptor {
  std::uint16_t magic;
  std::uint16_t record_size;
  std::uint32_t version;
  std::uint16_t block_size;   // bytes
  std::uint16_t digest_size;  // bytes
  void (*init)(HashContext& context);
  // Writes exactly digest_size bytes and wipes the context.
  void (*finalize)(HashContext& context, std::uint8_t* digest);
  void (*update)(HashContext& context, const std::uint8_t* data, std::size_t length);
  std::uint32_t index;    // registry slot; only the low byte counts
  std::uint8_t name[20];  // length byte and up to 19 characters
  const std::uint32_t* oid;
  std::uint32_t oid_count;

  std::string_view Name() const {
    return {reinterpret_cast<const char*>(name + 1), name[0] < 20 ? name[0] : std::size_t{19}};
  }
};

}  // namespace qm::crypto
