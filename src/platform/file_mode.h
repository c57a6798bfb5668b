#pragma once

#include <cstdint>

namespace qm::platform {

// The file mode word used to open files: the low two bits give the access, bits 4 to 6 the
// sharing granted to other openers, and the whole value 0xFF00 creates (or empties) a file.
namespace file_mode {
inline constexpr std::uint16_t kRead = 0x0000;
inline constexpr std::uint16_t kWrite = 0x0001;
inline constexpr std::uint16_t kReadWrite = 0x0002;
inline constexpr std::uint16_t kAccessMask = 0x0003;

inline constexpr std::uint16_t kShareCompat = 0x0000;  // as exclusive
inline constexpr std::uint16_t kShareExclusive = 0x0010;
inline constexpr std::uint16_t kShareDenyWrite = 0x0020;
inline constexpr std::uint16_t kShareDenyRead = 0x0030;
inline constexpr std::uint16_t kShareDenyNone = 0x0040;
inline constexpr std::uint16_t kShareMask = 0x0070;

// Create a new file, emptying one that exists; read and write access, no sharing.
inline constexpr std::uint16_t kCreate = 0xFF00;

constexpr bool IsCreate(std::uint16_t mode) {
  return mode == kCreate;
}
constexpr bool CanRead(std::uint16_t mode) {
  return IsCreate(mode) || (mode & kAccessMask) != kWrite;
}
constexpr bool CanWrite(std::uint16_t mode) {
  return IsCreate(mode) || (mode & kAccessMask) == kWrite || (mode & kAccessMask) == kReadWrite;
}
constexpr bool DeniesRead(std::uint16_t mode) {
  const auto share = IsCreate(mode) ? kShareExclusive : (mode & kShareMask);
  return share == kShareCompat || share == kShareExclusive || share == kShareDenyRead;
}
constexpr bool DeniesWrite(std::uint16_t mode) {
  const auto share = IsCreate(mode) ? kShareExclusive : (mode & kShareMask);
  return share == kShareCompat || share == kShareExclusive || share == kShareDenyWrite;
}
}  // namespace file_mode

}  // namespace qm::platform
