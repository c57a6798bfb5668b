#include "archive/format/records.h"

#include <cstdint>

namespace qm::archive {
namespace {

// Each record's fields are listed once, in their order on disk; reading and writing visit the
// same list.
struct ReadField {
  ByteReader& in;
  void operator()(std::uint16_t& field) const { field = in.U16(); }
  void operator()(std::uint32_t& field) const { field = in.U32(); }
  void operator()(std::uint64_t& field) const { field = in.U64(); }
};

struct WriteField {
  ByteWriter& out;
  void operator()(std::uint16_t field) const { out.U16(field); }
  void operator()(std::uint32_t field) const { out.U32(field); }
  void operator()(std::uint64_t field) const { out.U64(field); }
};

// The fields a local header shares with its central entry, in the order both records keep
// them: `visit(a's field, b's field)`, for copying one record's into the other's as well.
template <typename A, typename B, typename Visit>
void SharedFieldPairs(A& a, B& b, Visit&& visit) {
  visit(a.extractVersion, b.extractVersion);
  visit(a.genPurposeFlag, b.genPurposeFlag);
  visit(a.compMethod, b.compMethod);
  visit(a.lastModTime, b.lastModTime);
  visit(a.lastModDate, b.lastModDate);
  visit(a.crc32, b.crc32);
  visit(a.compSize, b.compSize);
  visit(a.unCompSize, b.unCompSize);
  visit(a.nameLength, b.nameLength);
  visit(a.extraLength, b.extraLength);
}

template <typename Record, typename Visit>
void SharedFields(Record& r, Visit&& visit) {
  SharedFieldPairs(r, r, [&](auto& field, auto&) { visit(field); });
}

template <typename Record, typename Visit>
void LocalHeaderFields(Record& r, Visit&& visit) {
  visit(r.signature);
  SharedFields(r, visit);
}

template <typename Record, typename Visit>
void DataDescriptorFields(Record& r, Visit&& visit) {
  visit(r.signature);
  visit(r.crc32);
  visit(r.compSize);
  visit(r.unCompSize);
}

template <typename Record, typename Visit>
void CentralEntryFields(Record& r, Visit&& visit) {
  visit(r.signature);
  visit(r.versionMadeBy);
  SharedFields(r, visit);
  visit(r.commentLength);
  visit(r.diskNumberStart);
  visit(r.internalAttr);
  visit(r.externalAttr);
  visit(r.relOffsetLH);
}

template <typename Record, typename Visit>
void EndRecordFields(Record& r, Visit&& visit) {
  visit(r.signature);
  visit(r.diskNumber);
  visit(r.startDiskNumber);
  visit(r.entriesOnDisk);
  visit(r.entriesCentralDir);
  visit(r.centralDirSize);
  visit(r.offsetStartDir);
  visit(r.commentLength);
}

template <typename Record, typename Visit>
void Zip64EndRecordFields(Record& r, Visit&& visit) {
  visit(r.signature);
  visit(r.centralDirEndSize);
  visit(r.versionMadeBy);
  visit(r.versionNeededToExtract);
  visit(r.diskNumber);
  visit(r.startDiskNumber);
  visit(r.entriesOnDisk);
  visit(r.entriesCentralDir);
  visit(r.centralDirSize);
  visit(r.offsetStartDir);
}

template <typename Record, typename Visit>
void Zip64LocatorFields(Record& r, Visit&& visit) {
  visit(r.signature);
  visit(r.startDiskNumber);
  visit(r.offsetStartDirEnd);
  visit(r.totalNumberOfDisks);
}

}  // namespace

void ZipLocalHeader::DecodeFrom(ByteReader& in) {
  LocalHeaderFields(*this, ReadField{in});
}
void ZipLocalHeader::EncodeTo(ByteWriter& out) const {
  LocalHeaderFields(*this, WriteField{out});
}

void ZipDataDescriptor::DecodeFrom(ByteReader& in) {
  DataDescriptorFields(*this, ReadField{in});
}
void ZipDataDescriptor::EncodeTo(ByteWriter& out) const {
  DataDescriptorFields(*this, WriteField{out});
}

void ZipCentralDir::DecodeFrom(ByteReader& in) {
  CentralEntryFields(*this, ReadField{in});
}
void ZipCentralDir::EncodeTo(ByteWriter& out) const {
  CentralEntryFields(*this, WriteField{out});
}

void ZipCentralDirEnd::DecodeFrom(ByteReader& in) {
  EndRecordFields(*this, ReadField{in});
}
void ZipCentralDirEnd::EncodeTo(ByteWriter& out) const {
  EndRecordFields(*this, WriteField{out});
}

void Zip64CentralDirEnd::DecodeFrom(ByteReader& in) {
  Zip64EndRecordFields(*this, ReadField{in});
}
void Zip64CentralDirEnd::EncodeTo(ByteWriter& out) const {
  Zip64EndRecordFields(*this, WriteField{out});
}

void Zip64CentralDirEndLocator::DecodeFrom(ByteReader& in) {
  Zip64LocatorFields(*this, ReadField{in});
}
void Zip64CentralDirEndLocator::EncodeTo(ByteWriter& out) const {
  Zip64LocatorFields(*this, WriteField{out});
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
  SharedFieldPairs(cd, local, [](auto& to, const auto& from) { to = from; });
  return cd;
}

ZipLocalHeader LocalHeaderFromCentral(const ZipCentralDir& entry) {
  ZipLocalHeader local;
  SharedFieldPairs(local, entry, [](auto& to, const auto& from) { to = from; });
  return local;
}

}  // namespace qm::archive
