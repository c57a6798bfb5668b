#include "archive/writing/record_writer.h"

#include <algorithm>
#include <array>

#include "archive/archive_error.h"
#include "archive/format/records.h"
#include "archive/writing/tail_file.h"

namespace qm::archive {
namespace {

// What a 16-bit length field of a record counts at most.
constexpr std::size_t kMaxLength16 = 0xFFFF;

bool IsNameBlock(std::uint16_t id) {
  return id == extra_id::kUnicodeName || id == extra_id::kInfoZipUnicodePath;
}

void ReadFully(platform::Stream& stream, std::int64_t at, void* buffer, std::size_t count) {
  stream.SetPosition(at);
  stream.ReadBuffer(buffer, count);
}

// Bytes of the data descriptor after an entry's data: with or without its signature, with
// 8-byte sizes when the local header carries a Zip64 block.
std::int64_t DataDescriptorLength(platform::Stream& tail, std::int64_t at, bool zip64) {
  std::array<std::uint8_t, 4> probe{};
  tail.SetPosition(at);
  const bool signed_form = tail.Read(probe.data(), probe.size()) == probe.size() &&
                           ByteReader(probe.data(), probe.size()).U32() == sig::kDataDescriptor;
  return (signed_form ? 4 : 0) + 4 + (zip64 ? 16 : 8);
}

}  // namespace

std::uint16_t RecordVersion(bool zip64, const RecordSettings& settings) {
  if (zip64) return kVersionZip64;
  return settings.oem_file_names ? kVersionOem : kVersionNtfs;
}

void RefreshNameBlocks(DirItem& item, const RecordName& name, const RecordSettings& settings) {
  auto& blocks = item.EditRecord().ExtraFields;
  const bool had_unicode = std::any_of(blocks.begin(), blocks.end(), [](const auto& b) {
    return b.headerID == extra_id::kUnicodeName;
  });
  std::erase_if(blocks, [](const ExtraFieldDataBlock& b) { return IsNameBlock(b.headerID); });
  if (settings.unicode_filenames || had_unicode) {
    blocks.push_back(MakeBlock(MakeUnicodeExtendedInfo(item.Name)));
  }
  if (!name.exact) blocks.push_back(MakeBlock(MakeInfoZipUnicodePath(item.Name, name.bytes)));
  if (name.utf8) {
    item.CentralDir.genPurposeFlag |= gpf::kUtf8;
  } else {
    item.CentralDir.genPurposeFlag &= static_cast<std::uint16_t>(~gpf::kUtf8);
  }
}

std::vector<ExtraFieldDataBlock> LocalNameAndCipherBlocks(const DirItem& item) {
  std::vector<ExtraFieldDataBlock> out;
  for (const auto& block : item.Record().ExtraFields) {
    if (IsNameBlock(block.headerID)) out.push_back(block);
  }
  for (const auto& block : item.Record().ExtraFields) {
    if (block.headerID == extra_id::kAes) out.push_back(block);
  }
  return out;
}

void SetLocalHeaderOffset(DirItem& item, std::uint64_t offset, bool force_zip64) {
  if (force_zip64 || offset >= kEscape32) {
    item.CentralDir.relOffsetLH = kEscape32;
    item.EditRecord().Zip64ExtInfo.relOffsetLH = offset;
    item.bHugeFile = true;
  } else {
    item.CentralDir.relOffsetLH = static_cast<std::uint32_t>(offset);
    if (item.HasRecord()) item.EditRecord().Zip64ExtInfo.relOffsetLH = 0;
  }
}

void CheckRecordLengths(const DirItem& item, const RecordSettings& settings,
                        std::u16string_view component_name) {
  if (item.Record().Comment.size() > kMaxLength16) {
    throw ArchiveError(ErrorSite::kCommentTooLong, {item.Name}, component_name);
  }
  const RecordName name = EncodeRecordName(item.Name, settings.oem_file_names);
  // The extra field as the writers will make it: the blocks kept from a record, the name
  // blocks the name calls for (RefreshNameBlocks), and room for the largest Zip64 block and
  // the AES block whether or not the entry gets them.
  constexpr std::size_t kLargestZip64Block = 4 + 8 + 8 + 8 + 4;
  constexpr std::size_t kAesBlock = 4 + 7;
  std::size_t extra = kLargestZip64Block + kAesBlock;
  bool had_unicode = false;
  for (const ExtraFieldDataBlock& block : item.Record().ExtraFields) {
    had_unicode = had_unicode || block.headerID == extra_id::kUnicodeName;
    if (IsNameBlock(block.headerID) || block.headerID == extra_id::kZip64 ||
        block.headerID == extra_id::kAes) {
      continue;
    }
    extra += ExtraFieldDataBlock::kHeaderLength + block.data.size();
  }
  if (settings.unicode_filenames || had_unicode) {
    extra += ExtraFieldDataBlock::kHeaderLength +
             MakeBlock(MakeUnicodeExtendedInfo(item.Name)).data.size();
  }
  if (!name.exact) {
    extra += ExtraFieldDataBlock::kHeaderLength +
             MakeBlock(MakeInfoZipUnicodePath(item.Name, name.bytes)).data.size();
  }
  if (name.bytes.size() > kMaxLength16 || extra > kMaxLength16) {
    throw ArchiveError(ErrorSite::kNameTooLong, {item.Name}, component_name);
  }
}

void CopyItemRecord(DirItem& item, const DirItem& old, bool renamed, platform::Stream& tail,
                    std::int64_t cut, platform::Stream& archive, const RecordSettings& settings) {
  const auto old_offset = static_cast<std::int64_t>(old.LocalHeaderOffset());
  const std::int64_t src = old_offset - cut;
  const std::int64_t tail_size = tail.Size();
  constexpr auto kHeader = static_cast<std::int64_t>(ZipLocalHeader::kEncodedLength);
  if (src < 0 || src + kHeader > tail_size) throw ArchiveError(ErrorSite::kRollbackIndex);
  std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
  ReadFully(tail, src, fixed.data(), fixed.size());
  ByteReader in(fixed.data(), fixed.size());
  ZipLocalHeader header;
  header.DecodeFrom(in);
  if (header.signature != sig::kLocalHeader && header.signature != sig::kAltLocalHeader) {
    throw ArchiveError(ErrorSite::kRollbackIndex);
  }
  const auto csize = static_cast<std::int64_t>(old.CompressedSize());
  const std::int64_t extra_at = src + kHeader + header.nameLength;
  const std::int64_t data_at = extra_at + header.extraLength;
  std::vector<std::uint8_t> old_extra(header.extraLength);
  if (data_at + csize > tail_size) throw ArchiveError(ErrorSite::kRollbackIndex);
  if (!old_extra.empty()) ReadFully(tail, extra_at, old_extra.data(), old_extra.size());
  std::vector<ExtraFieldDataBlock> local_blocks = SplitExtraField(old_extra);
  const bool local_zip64 = std::any_of(local_blocks.begin(), local_blocks.end(),
                                       [](auto& b) { return b.headerID == extra_id::kZip64; });
  std::int64_t descriptor = 0;
  if (header.genPurposeFlag & gpf::kDataDescriptor) {
    descriptor = std::min(DataDescriptorLength(tail, data_at + csize, local_zip64),
                          tail_size - (data_at + csize));
  }

  const auto position = static_cast<std::uint64_t>(archive.Position());
  SetLocalHeaderOffset(item, position, old.CentralDir.unCompSize == kEscape32);

  if (!renamed) {
    tail.SetPosition(src);
    CopyExactly(tail, archive, data_at - src + csize + descriptor);
    return;
  }
  // A renamed record: new name and name blocks, the other local blocks as they were.
  const RecordName name = EncodeRecordName(item.Name, settings.oem_file_names);
  RefreshNameBlocks(item, name, settings);
  std::erase_if(local_blocks, [](const ExtraFieldDataBlock& b) { return IsNameBlock(b.headerID); });
  for (const auto& block : item.Record().ExtraFields) {
    if (IsNameBlock(block.headerID)) local_blocks.push_back(block);
  }
  header.genPurposeFlag = static_cast<std::uint16_t>((header.genPurposeFlag & ~gpf::kUtf8) |
                                                     (item.CentralDir.genPurposeFlag & gpf::kUtf8));
  // The rename checked this; a header whose lengths would wrap must never be written.
  if (name.bytes.size() > kMaxLength16 || ExtraFieldLength(local_blocks) > kMaxLength16) {
    throw ArchiveError(ErrorSite::kNameTooLong, {item.Name}, {});
  }
  item.SetStoredName(name.bytes);
  header.nameLength = static_cast<std::uint16_t>(name.bytes.size());
  header.extraLength = static_cast<std::uint16_t>(ExtraFieldLength(local_blocks));
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  header.EncodeTo(out);
  out.Bytes(name.bytes);
  EncodeExtraField(local_blocks, out);
  archive.WriteBuffer(bytes.data(), bytes.size());
  tail.SetPosition(data_at);
  CopyExactly(tail, archive, csize + descriptor);
}

}  // namespace qm::archive
