#include "archive/format/records.h"

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

Zip64Fields EscapedFields(const ZipCentralDir& entry) {
  return {.uncompSize = entry.unCompSize == kEscape32,
          .compSize = entry.compSize == kEscape32,
          .relOffsetLH = entry.relOffsetLH == kEscape32,
          .diskNumberStart = entry.diskNumberStart == kEscape16};
}

ZipCentralDir CentralDirFromLocal(const ZipLocalHeader& local) {
  ZipCentralDir cd;
  cd.versionMadeBy = local.extractVersion;
  cd.extractVersion = local.extractVersion;
  cd.genPurposeFlag = local.genPurposeFlag;
  cd.compMethod = local.compMethod;
  cd.lastModTime = local.lastModTime;
  cd.lastModDate = local.lastModDate;
  cd.crc32 = local.crc32;
  cd.compSize = local.compSize;
  cd.unCompSize = local.unCompSize;
  cd.nameLength = local.nameLength;
  cd.extraLength = local.extraLength;
  return cd;
}

ZipLocalHeader LocalHeaderFromCentral(const ZipCentralDir& entry) {
  ZipLocalHeader local;
  local.extractVersion = entry.extractVersion;
  local.genPurposeFlag = entry.genPurposeFlag;
  local.compMethod = entry.compMethod;
  local.lastModTime = entry.lastModTime;
  local.lastModDate = entry.lastModDate;
  local.crc32 = entry.crc32;
  local.compSize = entry.compSize;
  local.unCompSize = entry.unCompSize;
  local.nameLength = entry.nameLength;
  local.extraLength = entry.extraLength;
  return local;
}

}  // namespace qm::archive
