#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "archive/format/stream_reader.h"

namespace qm::archive {
namespace {

struct ItemRange {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

}  // namespace

// Many entries quoting one shared compressed kernel (the "non-recursive" zip bomb) inflate a
// small archive a thousandfold with every CRC right, and no sum of sizes catches them when the
// kernel is shared. Every entry owns its bytes from its local header to the end of its data,
// so any two ranges that meet mean a hostile or broken archive. Entries without data are left
// out: they produce nothing, and folder entries behind an unadjusted stub keep offsets that
// point anywhere.
void DirManager::RefuseOverlappingItems() {
  if (settings_.spanning_mode != SpanningMode::smNone) return;  // offsets count per volume
  platform::Stream& stream = *compressed_stream_;
  std::vector<ItemRange> ranges;
  ranges.reserve(static_cast<std::size_t>(CDir.Count()));
  for (std::int32_t i = 0; i < CDir.Count(); ++i) {
    const DirItem& item = CDir.GetItem(i);
    const std::uint64_t compressed = item.CompressedSize();
    if (compressed == 0) continue;
    const std::uint64_t begin = item.LocalHeaderOffset();
    // The local header's own name and extra lengths where it can be read, else the central
    // name length (the extra fields of the two copies often differ).
    std::uint64_t header = ZipLocalHeader::kEncodedLength + item.CentralDir.nameLength;
    std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
    if (begin <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) &&
        ReadAt(stream, static_cast<std::int64_t>(begin), fixed.data(), fixed.size())) {
      ByteReader in(fixed.data(), fixed.size());
      ZipLocalHeader local;
      local.DecodeFrom(in);
      if (local.signature == sig::kLocalHeader || local.signature == sig::kAltLocalHeader) {
        header =
            ZipLocalHeader::kEncodedLength + std::uint64_t{local.nameLength} + local.extraLength;
      }
    }
    ranges.push_back({begin, SaturatingAdd(begin, SaturatingAdd(header, compressed))});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const ItemRange& a, const ItemRange& b) { return a.begin < b.begin; });
  std::uint64_t reached = 0;
  for (const ItemRange& range : ranges) {
    if (range.begin < reached) {
      throw ArchiveError(ErrorSite::kOverlappingItems, settings_.component_name);
    }
    reached = std::max(reached, range.end);
  }
}

}  // namespace qm::archive
