#include "archive/format/records.h"

#include <algorithm>

namespace qm::archive {

void ZipLocalHeader::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  extractVersion = in.U16();
  genPurposeFlag = in.U16();
  compMethod = in.U16();
  lastModTime = in.U16();
  lastModDate = in.U16();
  crc32 = in.U32();
  compSize = in.U32();
  unCompSize = in.U32();
  nameLength = in.U16();
  extraLength = in.U16();
}

void ZipLocalHeader::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U16(extractVersion);
  out.U16(genPurposeFlag);
  out.U16(compMethod);
  out.U16(lastModTime);
  out.U16(lastModDate);
  out.U32(crc32);
  out.U32(compSize);
  out.U32(unCompSize);
  out.U16(nameLength);
  out.U16(extraLength);
}

void ZipDataDescriptor::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  crc32 = in.U32();
  compSize = in.U32();
  unCompSize = in.U32();
}

void ZipDataDescriptor::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U32(crc32);
  out.U32(compSize);
  out.U32(unCompSize);
}

void ZipCentralDir::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  versionMadeBy = in.U16();
  extractVersion = in.U16();
  genPurposeFlag = in.U16();
  compMethod = in.U16();
  lastModTime = in.U16();
  lastModDate = in.U16();
  crc32 = in.U32();
  compSize = in.U32();
  unCompSize = in.U32();
  nameLength = in.U16();
  extraLength = in.U16();
  commentLength = in.U16();
  diskNumberStart = in.U16();
  internalAttr = in.U16();
  externalAttr = in.U32();
  relOffsetLH = in.U32();
}

void ZipCentralDir::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U16(versionMadeBy);
  out.U16(extractVersion);
  out.U16(genPurposeFlag);
  out.U16(compMethod);
  out.U16(lastModTime);
  out.U16(lastModDate);
  out.U32(crc32);
  out.U32(compSize);
  out.U32(unCompSize);
  out.U16(nameLength);
  out.U16(extraLength);
  out.U16(commentLength);
  out.U16(diskNumberStart);
  out.U16(internalAttr);
  out.U32(externalAttr);
  out.U32(relOffsetLH);
}

void ZipCentralDirEnd::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  diskNumber = in.U16();
  startDiskNumber = in.U16();
  entriesOnDisk = in.U16();
  entriesCentralDir = in.U16();
  centralDirSize = in.U32();
  offsetStartDir = in.U32();
  commentLength = in.U16();
}

void ZipCentralDirEnd::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U16(diskNumber);
  out.U16(startDiskNumber);
  out.U16(entriesOnDisk);
  out.U16(entriesCentralDir);
  out.U32(centralDirSize);
  out.U32(offsetStartDir);
  out.U16(commentLength);
}

void Zip64CentralDirEnd::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  centralDirEndSize = in.U64();
  versionMadeBy = in.U16();
  versionNeededToExtract = in.U16();
  diskNumber = in.U32();
  startDiskNumber = in.U32();
  entriesOnDisk = in.U64();
  entriesCentralDir = in.U64();
  centralDirSize = in.U64();
  offsetStartDir = in.U64();
}

void Zip64CentralDirEnd::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U64(centralDirEndSize);
  out.U16(versionMadeBy);
  out.U16(versionNeededToExtract);
  out.U32(diskNumber);
  out.U32(startDiskNumber);
  out.U64(entriesOnDisk);
  out.U64(entriesCentralDir);
  out.U64(centralDirSize);
  out.U64(offsetStartDir);
}

void Zip64CentralDirEndLocator::DecodeFrom(ByteReader& in) {
  signature = in.U32();
  startDiskNumber = in.U32();
  offsetStartDirEnd = in.U64();
  totalNumberOfDisks = in.U32();
}

void Zip64CentralDirEndLocator::EncodeTo(ByteWriter& out) const {
  out.U32(signature);
  out.U32(startDiskNumber);
  out.U64(offsetStartDirEnd);
  out.U32(totalNumberOfDisks);
}

std::vector<ExtraFieldDataBlock> SplitExtraField(std::span<const std::uint8_t> field) {
  std::vector<ExtraFieldDataBlock> blocks;
  ByteReader in(field);
  while (in.remaining() > 0) {
    // A trailing fragment too short for a block header is padding or damage; it is dropped so
    // that a rewritten extra field stays well formed.
    if (in.remaining() < ExtraFieldDataBlock::kHeaderLength) break;
    ExtraFieldDataBlock block;
    block.headerID = in.U16();
    const std::uint16_t claimed = in.U16();
    const auto size = static_cast<std::uint16_t>(std::min<std::size_t>(claimed, in.remaining()));
    const auto bytes = in.View(size);
    block.dataSize = size;
    block.data.assign(bytes.begin(), bytes.end());
    blocks.push_back(std::move(block));
  }
  return blocks;
}

void EncodeExtraField(const std::vector<ExtraFieldDataBlock>& blocks, ByteWriter& out) {
  for (const auto& block : blocks) {
    out.U16(block.headerID);
    out.U16(static_cast<std::uint16_t>(block.data.size()));
    out.Bytes(block.data.data(), block.data.size());
  }
}

void DecodeZip64ExtendedInfo(std::span<const std::uint8_t> data, const ZipCentralDir& entry,
                             Zip64ExtendedInfo& info) {
  ByteReader in(data);
  // Each value is taken only when the whole of it is there; a short block leaves the rest.
  auto take64 = [&in](std::uint64_t& target) {
    if (in.remaining() >= 8) target = in.U64();
    else in.Skip(in.remaining());
  };
  if (entry.unCompSize == kEscape32) take64(info.uncompSize);
  if (entry.compSize == kEscape32) take64(info.compSize);
  if (entry.relOffsetLH == kEscape32) take64(info.relOffsetLH);
  if (entry.diskNumberStart == kEscape16 && in.remaining() >= 4) info.diskNumberStart = in.U32();
}

void AesExtraField::DecodeFrom(ByteReader& in) {
  vendorVersion = in.U16();
  vendorId = in.U16();
  strength = in.U8();
  actualCompMethod = in.U16();
}

void AesExtraField::EncodeTo(ByteWriter& out) const {
  out.U16(vendorVersion);
  out.U16(vendorId);
  out.U8(strength);
  out.U16(actualCompMethod);
}

}  // namespace qm::archive
