#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"

namespace qm::archive {
namespace {

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

// The local headers of the items, visited in the order of their offsets. A read takes the
// headers that follow within one window along with the one asked for, so that an archive of
// many small items costs a few large reads (a million items: no million system calls), while
// items far apart cost one small read each instead of a window of data that nobody looks at.
class LocalHeaderReader {
 public:
  static constexpr std::uint64_t kWindow = 1 << 18;

  explicit LocalHeaderReader(platform::Stream& stream)
      : stream_(stream),
        size_(static_cast<std::uint64_t>(std::max<std::int64_t>(0, stream.Size()))) {}

  // The fixed part of the local header at `offset` when the last read holds it, else nullptr.
  const std::uint8_t* Held(std::uint64_t offset) const {
    if (offset < start_ || offset - start_ > length_ ||
        length_ - (offset - start_) < ZipLocalHeader::kEncodedLength) {
      return nullptr;
    }
    return buffer_.data() + (offset - start_);
  }

  // Reads from `offset` up to `reach` (where the last header worth reading along with it
  // ends); the fixed part at `offset`, or nullptr where the stream ends first.
  const std::uint8_t* Read(std::uint64_t offset, std::uint64_t reach) {
    start_ = offset;
    length_ = 0;
    if (offset > size_ || size_ - offset < ZipLocalHeader::kEncodedLength) return nullptr;
    const auto want = static_cast<std::size_t>(std::min(reach, size_) - offset);
    if (buffer_.size() < want) buffer_.resize(want);
    stream_.SetPosition(static_cast<std::int64_t>(offset));
    while (length_ < want) {
      const std::size_t n = stream_.Read(buffer_.data() + length_, want - length_);
      if (n == 0) break;
      length_ += n;
    }
    return Held(offset);
  }

 private:
  platform::Stream& stream_;
  std::uint64_t size_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
};

}  // namespace

// Many entries quoting one shared compressed kernel (the "non-recursive" zip bomb) inflate a
// small archive a thousandfold with every CRC right, and no sum of sizes catches them when the
// kernel is shared. Every entry owns its bytes from its local header to the end of its data,
// so any two ranges that meet mean a hostile or broken archive. Entries without data are left
// out: they produce nothing, and folder entries behind an unadjusted stub keep offsets that
// point anywhere.
void DirManager::RefuseOverlappingItems() {
  if (settings_.spanning_mode != SpanningMode::smNone) return;  // offsets count per volume
  // The items with data in the order of their offsets. Writers put the directory in that
  // order, so the common case needs no sorted copy.
  std::vector<std::int32_t> order;
  bool sorted = true;
  std::uint64_t previous = 0;
  for (std::int32_t i = 0; i < CDir.Count() && sorted; ++i) {
    const DirItem& item = CDir.GetItem(i);
    if (item.CompressedSize() == 0) continue;
    sorted = item.LocalHeaderOffset() >= previous;
    previous = item.LocalHeaderOffset();
  }
  if (!sorted) {
    for (std::int32_t i = 0; i < CDir.Count(); ++i) {
      if (CDir.GetItem(i).CompressedSize() != 0) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
      return CDir.GetItem(a).LocalHeaderOffset() < CDir.GetItem(b).LocalHeaderOffset();
    });
  }
  const std::int32_t count = sorted ? CDir.Count() : static_cast<std::int32_t>(order.size());
  auto item_at = [&](std::int32_t k) -> const DirItem& {
    return CDir.GetItem(sorted ? k : order[static_cast<std::size_t>(k)]);
  };

  constexpr std::uint64_t kHeader = ZipLocalHeader::kEncodedLength;
  LocalHeaderReader headers(*archive_stream_);
  // Where the headers of the items after `k` that lie within a window of it end.
  auto reach_after = [&](std::int32_t k, std::uint64_t begin) {
    std::uint64_t reach = SaturatingAdd(begin, kHeader);
    for (std::int32_t j = k + 1; j < count; ++j) {
      const DirItem& next = item_at(j);
      if (next.CompressedSize() == 0) continue;
      const std::uint64_t end = SaturatingAdd(next.LocalHeaderOffset(), kHeader);
      if (end - begin > LocalHeaderReader::kWindow) break;
      reach = end;
    }
    return reach;
  };
  std::uint64_t reached = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    const DirItem& item = item_at(k);
    const std::uint64_t compressed = item.CompressedSize();
    if (compressed == 0) continue;
    const std::uint64_t begin = item.LocalHeaderOffset();
    if (begin < reached) {
      throw ArchiveError(ErrorSite::kOverlappingItems, settings_.component_name);
    }
    // The local header's own name and extra lengths where it can be read, else the central
    // name length (the extra fields of the two copies often differ).
    std::uint64_t header = kHeader + item.CentralDir.nameLength;
    const std::uint8_t* fixed = headers.Held(begin);
    if (!fixed) fixed = headers.Read(begin, reach_after(k, begin));
    if (fixed) {
      ByteReader in(fixed, kHeader);
      ZipLocalHeader local;
      local.DecodeFrom(in);
      if (local.signature == sig::kLocalHeader || local.signature == sig::kAltLocalHeader) {
        header = kHeader + std::uint64_t{local.nameLength} + local.extraLength;
      }
    }
    reached = std::max(reached, SaturatingAdd(begin, SaturatingAdd(header, compressed)));
  }
}

}  // namespace qm::archive
