#include "archive/data/read/item_lookahead.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "archive/data/read/archive_source.h"
#include "archive/data/read/inflate_stage.h"
#include "archive/data/read/local_header.h"
#include "archive/format/records.h"

namespace qm::archive {
namespace {

// Archive bytes read in one go, and inflated bytes held ready for the loop: together they bound
// the memory reading ahead takes.
constexpr std::int64_t kWindowInput = 4 * 0x100000;
constexpr std::int64_t kWindowOutput = 8 * 0x100000;
// The most an item's records take besides its data: a local header with the longest name and
// extra field, and a Zip64 data descriptor.
constexpr std::int64_t kRecordOverhead =
    static_cast<std::int64_t>(ZipLocalHeader::kEncodedLength) + 2 * 0xFFFF + 24;

// Sizes and offsets as the decoder takes them.
std::int64_t Capped(std::uint64_t value) {
  return static_cast<std::int64_t>(
      std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max() / 2));
}

// Stored or deflated, not encrypted, and its data read by the decoder in one piece.
bool Small(const DirItem& item) {
  if (item.IsEncrypted()) return false;
  if (item.CompressionMethod != method::kStored && item.CompressionMethod != method::kDeflated) {
    return false;
  }
  return Capped(item.CompressedSize()) <= ArchiveSource::kChunk;
}

// The room the item's inflater stage will have (its size, and the byte that would tell it is
// longer) when the stage inflates its `data_size` bytes in one call; 0 when it will not.
std::int64_t WholeRoom(const DirItem& item, std::int64_t data_size) {
  if (item.CompressionMethod != method::kDeflated || data_size <= 0 ||
      data_size > ArchiveSource::kChunk) {
    return 0;
  }
  const std::int64_t room = Capped(item.UncompressedSize()) + 1;
  return room <= InflateStage::kWholeOutputLimit ? room : 0;
}

}  // namespace

ItemLookahead::ItemLookahead(platform::Stream& archive, std::int64_t data_end, bool with_worker)
    : archive_(archive), data_end_(data_end) {
  if (with_worker) worker_ = std::make_unique<InflateWorker>();
}

platform::Stream* ItemLookahead::StreamFor(const DirArray& dir, std::int32_t index) {
  const DirItem& item = dir.GetItem(index);
  std::optional<Extent> extent = DataExtent(item);
  if (!extent) {
    if (!Fill(dir, index)) return nullptr;
    extent = DataExtent(item);
    if (!extent) return nullptr;
  }
  if (!window_.Holds(extent->data_start, extent->data_start + extent->data_size)) return nullptr;
  window_.SetPosition(Capped(item.LocalHeaderOffset()));
  return &window_;
}

std::optional<InflatedAhead> ItemLookahead::Inflated(std::int64_t data_start,
                                                     std::int64_t input_size, std::int64_t room) {
  if (!worker_) return std::nullopt;
  const InflateWorker::Job* job = worker_->Finish(data_start);
  if (job == nullptr || !job->made || static_cast<std::int64_t>(job->input.size()) != input_size ||
      static_cast<std::int64_t>(job->output.size()) != room) {
    return std::nullopt;
  }
  return InflatedAhead{job->output.first(*job->made), room, job->crc};
}

std::optional<ItemLookahead::Extent> ItemLookahead::DataExtent(const DirItem& item) {
  const std::int64_t header = Capped(item.LocalHeaderOffset());
  if (!window_.Holds(header, header + static_cast<std::int64_t>(ZipLocalHeader::kEncodedLength))) {
    return std::nullopt;
  }
  window_.SetPosition(header);
  SkipLocalHeader(window_);
  Extent extent{window_.Position(), Capped(item.CompressedSize())};
  if (extent.data_start + extent.data_size > data_end_) {
    extent.data_size = std::max<std::int64_t>(0, data_end_ - extent.data_start);
  }
  return extent;
}

bool ItemLookahead::Fill(const DirArray& dir, std::int32_t index) {
  if (!Small(dir.GetItem(index))) return false;
  const std::int64_t start = Capped(dir.GetItem(index).LocalHeaderOffset());
  std::int64_t end = start;
  std::int64_t output = 0;
  std::int32_t next = index;
  for (; next < dir.Count(); ++next) {
    const DirItem& item = dir.GetItem(next);
    if (next > index && (!item.Tagged || !Small(item))) break;
    // An item's records reach to the next item's; a gap wider than they can be holds other
    // bytes, and the window ends before it.
    const std::int64_t header = Capped(item.LocalHeaderOffset());
    const std::int64_t records_end =
        next + 1 < dir.Count() ? Capped(dir.GetItem(next + 1).LocalHeaderOffset()) : data_end_;
    const std::int64_t data_size = Capped(item.CompressedSize());
    if (records_end <= header || records_end > data_end_ ||
        records_end - header > kRecordOverhead + data_size) {
      break;
    }
    const std::int64_t room = worker_ ? WholeRoom(item, data_size) : 0;
    if (next > index && (records_end - start > kWindowInput || output + room > kWindowOutput)) {
      break;
    }
    end = records_end;
    output += room;
  }
  if (end == start) return false;
  // The worker's jobs point into the window and the output buffers filled anew here.
  if (worker_) worker_->Clear();
  window_.Fill(archive_, start, end - start);
  if (worker_) StartJobs(dir, index, next);
  return true;
}

void ItemLookahead::StartJobs(const DirArray& dir, std::int32_t first, std::int32_t end) {
  std::vector<InflateWorker::Job> jobs;
  std::vector<std::int64_t> rooms;
  std::int64_t total = 0;
  for (std::int32_t i = first; i < end; ++i) {
    const DirItem& item = dir.GetItem(i);
    const std::optional<Extent> extent = DataExtent(item);
    if (!extent || !window_.Holds(extent->data_start, extent->data_start + extent->data_size)) {
      continue;
    }
    const std::int64_t room = WholeRoom(item, extent->data_size);
    if (room == 0) continue;
    jobs.push_back({.data_start = extent->data_start,
                    .input = window_.Bytes(extent->data_start, extent->data_size)});
    rooms.push_back(room);
    total += room;
  }
  std::uint8_t* const output = output_.First(static_cast<std::size_t>(total)).data();
  std::int64_t at = 0;
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    jobs[j].output = std::span(output + at, static_cast<std::size_t>(rooms[j]));
    at += rooms[j];
  }
  worker_->Start(std::move(jobs));
}

}  // namespace qm::archive
