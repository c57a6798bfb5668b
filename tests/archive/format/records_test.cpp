#include "archive/format/records.h"

#include <gtest/gtest.h>

#include "archive/names/stored_names.h"

namespace qm::archive {
namespace {

template <typename Record>
std::vector<std::uint8_t> Encode(const Record& r) {
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  r.EncodeTo(out);
  return bytes;
}

template <typename Record>
void ExpectRoundTrip(const Record& r) {
  const auto bytes = Encode(r);
  ASSERT_EQ(bytes.size(), Record::kEncodedLength);
  ByteReader in(bytes.data(), bytes.size());
  Record back;
  back.DecodeFrom(in);
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(Encode(back), bytes);
}

TEST(Records, EveryRecordRoundTripsAtItsLength) {
  ZipCentralDir cd;
  cd.versionMadeBy = 0x0314;
  cd.crc32 = 0xDEADBEEF;
  cd.relOffsetLH = 0x01020304;
  cd.externalAttr = 0x81A40020;
  ExpectRoundTrip(cd);
  ZipLocalHeader lh;
  lh.compSize = 77;
  lh.extraLength = 20;
  ExpectRoundTrip(lh);
  ExpectRoundTrip(ZipDataDescriptor{sig::kDataDescriptor, 1, 2, 3});
  ZipCentralDirEnd end;
  end.commentLength = 65535;
  ExpectRoundTrip(end);
  Zip64CentralDirEnd z64;
  z64.offsetStartDir = 0x123456789AULL;
  ExpectRoundTrip(z64);
  ExpectRoundTrip(Zip64CentralDirEndLocator{sig::kZip64CentralDirEndLocator, 0, 99, 1});
}

TEST(Records, FieldsSitAtTheirOffsets) {
  ZipCentralDir cd;
  cd.compMethod = 0x0008;
  cd.relOffsetLH = 0xA1B2C3D4;
  cd.nameLength = 0x0102;
  const auto bytes = Encode(cd);
  EXPECT_EQ(bytes[0], 0x50);
  EXPECT_EQ(bytes[3], 0x02);
  EXPECT_EQ(bytes[10], 0x08);
  EXPECT_EQ(bytes[28], 0x02);
  EXPECT_EQ(bytes[42], 0xD4);
  EXPECT_EQ(bytes[45], 0xA1);
}

TEST(Records, ReadingPastTheEndSetsAStickyErrorAndYieldsZeros) {
  const std::uint8_t data[5] = {1, 2, 3, 4, 5};
  ByteReader in(data, sizeof data);
  EXPECT_EQ(in.U32(), 0x04030201u);
  EXPECT_EQ(in.U16(), 0u);
  EXPECT_FALSE(in.ok());
  EXPECT_EQ(in.U8(), 0u);  // even a read that would fit
  EXPECT_FALSE(in.ok());
  ZipCentralDir cd;
  ByteReader short_in(data, sizeof data);
  cd.DecodeFrom(short_in);
  EXPECT_FALSE(short_in.ok());
}

TEST(Records, ExtraFieldBlocksAreCutToTheField) {
  // A block claiming 10 bytes with 3 left, then nothing; and a 2-byte fragment is dropped.
  const std::vector<std::uint8_t> field = {0x01, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0x34,
                                           0x12, 0x0A, 0x00, 1,    2,    3};
  const auto blocks = SplitExtraField(field);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].data, (std::vector<std::uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(blocks[1].headerID, 0x1234);
  EXPECT_EQ(blocks[1].dataSize, 3);
  EXPECT_EQ(SplitExtraField(std::vector<std::uint8_t>{0x01, 0x00}).size(), 0u);
  std::vector<std::uint8_t> back;
  ByteWriter out(back);
  EncodeExtraField(blocks, out);
  EXPECT_EQ(back.size(), 4u + 2 + 4 + 3);
}

TEST(Records, Zip64BlockGivesOnlyTheEscapedValuesThatFit) {
  ZipCentralDir cd;
  cd.unCompSize = kEscape32;
  cd.compSize = kEscape32;
  cd.relOffsetLH = kEscape32;
  std::vector<std::uint8_t> data;
  ByteWriter out(data);
  out.U64(1111);
  out.U64(2222);
  out.U32(7);  // half an offset
  Zip64ExtendedInfo info;
  ByteReader in(data);
  info.DecodeFrom(in, EscapedFields(cd));
  EXPECT_EQ(info.uncompSize, 1111u);
  EXPECT_EQ(info.compSize, 2222u);
  EXPECT_EQ(info.relOffsetLH, 0u);
  // Only the offset escaped: the first value is the offset.
  ZipCentralDir offset_only;
  offset_only.relOffsetLH = kEscape32;
  Zip64ExtendedInfo info2;
  ByteReader in2(data);
  info2.DecodeFrom(in2, EscapedFields(offset_only));
  EXPECT_EQ(info2.relOffsetLH, 1111u);
}

}  // namespace
}  // namespace qm::archive
