#include "archive/format/extra_fields.h"

#include <algorithm>

namespace qm::archive {

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

std::size_t ExtraFieldLength(const std::vector<ExtraFieldDataBlock>& blocks,
                             std::optional<std::uint16_t> skipped_id) {
  std::size_t length = 0;
  for (const auto& block : blocks) {
    if (block.headerID != skipped_id) length += block.EncodedLength();
  }
  return length;
}

void Zip64ExtendedInfo::DecodeFrom(ByteReader& in, Zip64Fields present) {
  auto take64 = [&in](std::uint64_t& target) {
    if (in.remaining() >= 8) {
      target = in.U64();
    } else {
      in.Skip(in.remaining());
    }
  };
  if (present.uncompSize) take64(uncompSize);
  if (present.compSize) take64(compSize);
  if (present.relOffsetLH) take64(relOffsetLH);
  if (present.diskNumberStart && in.remaining() >= 4) diskNumberStart = in.U32();
}

void Zip64ExtendedInfo::EncodeTo(ByteWriter& out, Zip64Fields present) const {
  if (present.uncompSize) out.U64(uncompSize);
  if (present.compSize) out.U64(compSize);
  if (present.relOffsetLH) out.U64(relOffsetLH);
  if (present.diskNumberStart) out.U32(diskNumberStart);
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

bool UnicodeExtendedInfo::DecodeFrom(ByteReader& in) {
  FAdditionalSignature = in.U32();
  if (!in.ok() || FAdditionalSignature != kSignature) return false;
  const std::uint32_t count = in.U32();
  if (!in.ok() || count > in.remaining() / 2) return false;
  std::u16string name(count, u'\0');
  for (auto& c : name) c = in.U16();
  FName = std::move(name);
  return true;
}

void UnicodeExtendedInfo::EncodeTo(ByteWriter& out) const {
  out.U32(FAdditionalSignature);
  out.U32(static_cast<std::uint32_t>(FName.size()));
  for (char16_t c : FName) out.U16(c);
}

bool InfoZipUnicodePath::DecodeFrom(ByteReader& in) {
  version = in.U8();
  nameCrc32 = in.U32();
  if (!in.ok()) return false;
  utf8Name = in.Bytes(in.remaining());
  return true;
}

void InfoZipUnicodePath::EncodeTo(ByteWriter& out) const {
  out.U8(version);
  out.U32(nameCrc32);
  out.Bytes(utf8Name);
}

bool ExtendedTimestamp::DecodeFrom(ByteReader& in) {
  flags = in.U8();
  if (!in.ok()) return false;
  auto take = [&in](std::optional<std::int32_t>& target) {
    if (in.remaining() >= 4) target = static_cast<std::int32_t>(in.U32());
  };
  if (flags & kModTimeFlag) take(modTime);
  if (flags & kAccessTimeFlag) take(accessTime);
  if (flags & kCreateTimeFlag) take(createTime);
  return true;
}

void ExtendedTimestamp::EncodeTo(ByteWriter& out) const {
  out.U8(flags);
  for (const auto& time : {modTime, accessTime, createTime}) {
    if (time) out.U32(static_cast<std::uint32_t>(*time));
  }
}

}  // namespace qm::archive
