#pragma once

#include <cstdint>

namespace qm::platform {

// Windows file attribute bits. Archives store them in the low byte of an entry's external
// attributes, so the engine speaks of files in these terms on every platform.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kHidden = 0x02;
inline constexpr std::uint32_t kSystem = 0x04;
inline constexpr std::uint32_t kVolumeLabel = 0x08;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kCompressed = 0x800;
inline constexpr std::uint32_t kNotContentIndexed = 0x2000;

// What an attribute query yields when nothing of that name exists: every bit set, so a test of
// the directory bit alone says "directory or absent".
inline constexpr std::uint32_t kInvalid = 0xFFFFFFFF;

// The bits an enumeration filter must name for an entry carrying them to be listed; entries
// with none of them are always listed.
inline constexpr std::uint32_t kFilterBits = kHidden | kSystem | kVolumeLabel | kDirectory;
}  // namespace attr

}  // namespace qm::platform
