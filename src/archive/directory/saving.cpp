// SaveDir: the central directory, the Zip64 end records when counts or offsets need them, the
// end record and the archive comment, written at the end of the archive stream.
#include <algorithm>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/names/stored_names.h"

namespace qm::archive {
namespace {

// Bytes collected before they go to the stream in one write.
constexpr std::size_t kFlushThreshold = 1 << 16;

std::uint32_t Clamp32(std::uint64_t value) {
  return value >= kEscape32 ? kEscape32 : static_cast<std::uint32_t>(value);
}

std::uint16_t Clamp16(std::uint64_t value) {
  return value >= kEscape16 ? kEscape16 : static_cast<std::uint16_t>(value);
}

}  // namespace

void DirManager::EncodeEndRecords(ByteWriter& out, const EndRecordPlace& place) {
  const std::int32_t count = CDir.Count();
  central_dir_end_.diskNumber = Clamp16(place.volume);
  central_dir_end_.startDiskNumber = Clamp16(place.start_volume);
  central_dir_end_.entriesOnDisk = Clamp16(static_cast<std::uint64_t>(count));
  central_dir_end_.entriesCentralDir = central_dir_end_.entriesOnDisk;
  central_dir_end_.centralDirSize = Clamp32(place.size);
  central_dir_end_.offsetStartDir = Clamp32(static_cast<std::uint64_t>(place.start));
  central_dir_end_.commentLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(archive_comment_.size(), 0xFFFF));

  zip64_ = static_cast<std::uint64_t>(place.position) >= kEscape32 ||
           static_cast<std::uint64_t>(count) >= kEscape16 || place.volume >= kEscape16;
  if (zip64_) {
    zip64_central_dir_end_ = Zip64CentralDirEnd{};
    zip64_central_dir_end_.diskNumber = place.volume;
    zip64_central_dir_end_.startDiskNumber = place.start_volume;
    zip64_central_dir_end_.entriesOnDisk = static_cast<std::uint64_t>(count);
    zip64_central_dir_end_.entriesCentralDir = static_cast<std::uint64_t>(count);
    zip64_central_dir_end_.centralDirSize = place.size;
    zip64_central_dir_end_.offsetStartDir = static_cast<std::uint64_t>(place.start);
    zip64_central_dir_end_.EncodeTo(out);
    zip64_locator_ = Zip64CentralDirEndLocator{};
    zip64_locator_.startDiskNumber = place.volume;
    zip64_locator_.offsetStartDirEnd = static_cast<std::uint64_t>(place.position);
    zip64_locator_.totalNumberOfDisks = place.volume + 1;
    zip64_locator_.EncodeTo(out);
  }
  central_dir_end_.EncodeTo(out);
  out.Bytes(archive_comment_.data(), central_dir_end_.commentLength);
}

std::size_t DirManager::EndRecordsLength(std::int64_t position, std::uint32_t volume) const {
  const bool zip64 = static_cast<std::uint64_t>(position) >= kEscape32 ||
                     static_cast<std::uint64_t>(CDir.Count()) >= kEscape16 || volume >= kEscape16;
  const std::size_t zip64_length =
      zip64 ? Zip64CentralDirEnd::kEncodedLength + Zip64CentralDirEndLocator::kEncodedLength : 0;
  return zip64_length + ZipCentralDirEnd::kEncodedLength +
         std::min<std::size_t>(archive_comment_.size(), 0xFFFF);
}

void EncodeCentralEntry(DirItem& item, bool oem_file_names, ByteWriter& out) {
  ZipCentralDir& cd = item.CentralDir;
  if (!item.StoredNameFits()) {
    const RecordName name = EncodeRecordName(item.Name, oem_file_names);
    if (name.utf8) {
      cd.genPurposeFlag |= gpf::kUtf8;
    } else {
      cd.genPurposeFlag &= static_cast<std::uint16_t>(~gpf::kUtf8);
    }
    item.SetStoredName(name.bytes);
  }
  const std::string name_bytes = item.StoredNameBytes();
  const DirItemRecord& record = item.Record();
  // A Zip64 block is built afresh from the escapes the fixed fields hold; a block read with
  // the entry is left out, every other block goes back as it is held.
  const Zip64Fields zip64 = EscapedFields(cd);
  const std::size_t zip64_length =
      zip64.Any() ? ExtraFieldDataBlock::kHeaderLength + zip64.DataSize() : 0;
  cd.nameLength = static_cast<std::uint16_t>(name_bytes.size());
  cd.extraLength = static_cast<std::uint16_t>(
      zip64_length + ExtraFieldLength(record.ExtraFields, extra_id::kZip64));
  cd.commentLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(record.Comment.size(), 0xFFFF));
  cd.EncodeTo(out);
  out.Bytes(name_bytes);
  if (zip64.Any()) {
    out.U16(extra_id::kZip64);
    out.U16(static_cast<std::uint16_t>(zip64.DataSize()));
    record.Zip64ExtInfo.EncodeTo(out, zip64);
  }
  for (const ExtraFieldDataBlock& block : record.ExtraFields) {
    if (block.headerID == extra_id::kZip64) continue;
    out.U16(block.headerID);
    out.U16(static_cast<std::uint16_t>(block.data.size()));
    out.Bytes(block.data.data(), block.data.size());
  }
  out.Bytes(record.Comment.data(), cd.commentLength);
}

void DirManager::SaveDir(bool recreate_end, platform::Stream* stream) {
  if (stream != nullptr) archive_stream_ = stream;
  platform::Stream& out_stream = *archive_stream_;
  const std::string comment = archive_comment_;

  std::int64_t start = out_stream.Size();
  if (!recreate_end) {
    // The directory is rewritten where it stands (the comment changed): it starts where the
    // end record found says, Zip64 records or not.
    const bool zip_format = settings_.zip_format;
    std::int64_t end = FindCentralDirEnd(zip_format ? sig::kCentralDirEnd : sig::kAltCentralDirEnd);
    if (end < 0 && !zip_format) end = FindCentralDirEnd(sig::kCentralDirEnd);
    if (end >= 0) start = std::clamp<std::int64_t>(central_dir_offset_, stub_size_, end);
  }
  archive_comment_ = comment;
  out_stream.SetPosition(start);
  out_stream.SetSize(start);

  const std::uint32_t volume = 0;  // a single file (sets go through SaveDirToVolumes)
  std::vector<std::uint8_t> buffer;
  buffer.reserve(kFlushThreshold + 1024);
  ByteWriter out(buffer);
  auto flush = [&] {
    out_stream.WriteBuffer(buffer.data(), buffer.size());
    buffer.clear();
  };
  const std::int32_t count = CDir.Count();
  for (std::int32_t i = 0; i < count; ++i) {
    EncodeCentralEntry(*CDir.ItemPtr(i), settings_.oem_file_names, out);
    if (buffer.size() >= kFlushThreshold) flush();
  }
  flush();
  central_dir_offset_ = start;

  const std::int64_t position = out_stream.Position();
  EncodeEndRecords(out, EndRecordPlace{.start_volume = volume,
                                       .start = start,
                                       .size = static_cast<std::uint64_t>(position - start),
                                       .volume = volume,
                                       .position = position});
  flush();
}

}  // namespace qm::archive
