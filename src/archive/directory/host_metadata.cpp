#include "archive/directory/host_metadata.h"

#include "archive/format/byte_reader.h"
#include "archive/format/extra_fields.h"

namespace qm::archive {

std::optional<std::uint32_t> UnixPermissions(const DirItem& item) {
  if ((item.CentralDir.versionMadeBy >> 8) != kHostUnix) return std::nullopt;
  const std::uint32_t mode = item.CentralDir.externalAttr >> 16;
  constexpr std::uint32_t kTypeMask = 0170000;
  constexpr std::uint32_t kRegularFile = 0100000;
  // No mode at all is what DOS-minded writers leave: nothing to restore then.
  if (mode == 0) return std::nullopt;
  const std::uint32_t type = mode & kTypeMask;
  if (type != 0 && type != kRegularFile) return std::nullopt;
  return mode & 0777;
}

std::optional<std::int64_t> ExtendedModificationTime(const DirItem& item) {
  for (const ExtraFieldDataBlock& block : item.Record().ExtraFields) {
    if (block.headerID != ExtendedTimestamp::kHeaderID) continue;
    ByteReader in(block.data.data(), block.data.size());
    ExtendedTimestamp stamp;
    if (stamp.DecodeFrom(in) && stamp.modTime) return *stamp.modTime;
  }
  return std::nullopt;
}

}  // namespace qm::archive
