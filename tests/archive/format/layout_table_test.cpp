// Every record and extra block the engine writes, encoded with distinct field values and
// compared with the bytes Python's struct.pack makes from the layouts of the format documents
// (PKWARE's APPNOTE, the WinZip AES description, Info-ZIP's extra field list). A field put at
// the wrong offset or with the wrong width shows as a row whose bytes differ.
#include <gtest/gtest.h>

#include <sstream>

#include "archive/format/records.h"
#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

struct Row {
  std::string name;
  std::vector<std::uint8_t> engine;
  std::string python;  // an expression giving the expected bytes
};

template <typename Record>
std::vector<std::uint8_t> Encode(const Record& record) {
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  record.EncodeTo(out);
  return bytes;
}

std::vector<std::uint8_t> EncodeBlock(const ExtraFieldDataBlock& block) {
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  EncodeExtraField({block}, out);
  return bytes;
}

ExtraFieldDataBlock Zip64Block(const Zip64ExtendedInfo& info, Zip64Fields present) {
  ExtraFieldDataBlock block;
  block.headerID = Zip64ExtendedInfo::kHeaderID;
  ByteWriter out(block.data);
  info.EncodeTo(out, present);
  block.dataSize = static_cast<std::uint16_t>(block.data.size());
  return block;
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  ZipLocalHeader local;
  local.extractVersion = 20;
  local.genPurposeFlag = 0x0809;
  local.compMethod = 8;
  local.lastModTime = 0x6000;
  local.lastModDate = 0x5A21;
  local.crc32 = 0xDEADBEEF;
  local.compSize = 0x01020304;
  local.unCompSize = 0x0A0B0C0D;
  local.nameLength = 11;
  local.extraLength = 24;
  rows.push_back({"local header", Encode(local),
                  "struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, 0x0809, 8, 0x6000, 0x5A21, "
                  "0xDEADBEEF, 0x01020304, 0x0A0B0C0D, 11, 24)"});

  rows.push_back({"data descriptor", Encode(ZipDataDescriptor{sig::kDataDescriptor, 7, 8, 9}),
                  "struct.pack('<IIII', 0x08074B50, 7, 8, 9)"});

  ZipCentralDir cd = CentralDirFromLocal(local);
  cd.versionMadeBy = 0x0314;
  cd.commentLength = 3;
  cd.diskNumberStart = 0xFFFF;
  cd.internalAttr = 1;
  cd.externalAttr = 0x81A40020;
  cd.relOffsetLH = 0xFFFFFFFF;
  rows.push_back({"central directory entry", Encode(cd),
                  "struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 0x0314, 20, 0x0809, 8, 0x6000, "
                  "0x5A21, 0xDEADBEEF, 0x01020304, 0x0A0B0C0D, 11, 24, 3, 0xFFFF, 1, 0x81A40020, "
                  "0xFFFFFFFF)"});

  ZipCentralDirEnd end;
  end.diskNumber = 1;
  end.startDiskNumber = 2;
  end.entriesOnDisk = 3;
  end.entriesCentralDir = 4;
  end.centralDirSize = 0x11223344;
  end.offsetStartDir = 0x55667788;
  end.commentLength = 9;
  rows.push_back({"end record", Encode(end),
                  "struct.pack('<IHHHHIIH', 0x06054B50, 1, 2, 3, 4, 0x11223344, 0x55667788, 9)"});

  Zip64CentralDirEnd end64;
  end64.diskNumber = 5;
  end64.startDiskNumber = 6;
  end64.entriesOnDisk = 0x100000001;
  end64.entriesCentralDir = 0x100000002;
  end64.centralDirSize = 0x200000003;
  end64.offsetStartDir = 0x300000004;
  rows.push_back({"Zip64 end record", Encode(end64),
                  "struct.pack('<IQHHIIQQQQ', 0x06064B50, 44, 45, 45, 5, 6, 0x100000001, "
                  "0x100000002, 0x200000003, 0x300000004)"});

  rows.push_back(
      {"Zip64 end locator",
       Encode(Zip64CentralDirEndLocator{sig::kZip64CentralDirEndLocator, 7, 0x123456789A, 8}),
       "struct.pack('<IIQI', 0x07064B50, 7, 0x123456789A, 8)"});

  const Zip64ExtendedInfo info{.uncompSize = 0x1111111111,
                               .compSize = 0x2222222222,
                               .relOffsetLH = 0x3333333333,
                               .diskNumberStart = 0x44444444};
  rows.push_back({"Zip64 block, every value",
                  EncodeBlock(Zip64Block(info, {true, true, true, true})),
                  "struct.pack('<HHQQQI', 1, 28, 0x1111111111, 0x2222222222, 0x3333333333, "
                  "0x44444444)"});
  rows.push_back({"Zip64 block, offset alone", EncodeBlock(Zip64Block(info, {.relOffsetLH = true})),
                  "struct.pack('<HHQ', 1, 8, 0x3333333333)"});

  AesExtraField aes;
  aes.vendorVersion = 1;
  aes.strength = 3;
  aes.actualCompMethod = 8;
  rows.push_back({"WinZip AES block", EncodeBlock(MakeBlock(aes)),
                  "struct.pack('<HHHHBH', 0x9901, 7, 1, 0x4541, 3, 8)"});

  UnicodeExtendedInfo unicode;
  unicode.FName = u"Ω/ж.txt";
  rows.push_back({"engine Unicode-name block", EncodeBlock(MakeBlock(unicode)),
                  "struct.pack('<HHII', 0x554E, 8 + 14, 0x5843554E, 7) + "
                  "'Ω/ж.txt'.encode('utf-16-le')"});

  InfoZipUnicodePath path;
  path.nameCrc32 = 0xCAFEBABE;
  path.utf8Name = "\xc3\xa9t\xc3\xa9";
  rows.push_back({"Info-ZIP Unicode Path block", EncodeBlock(MakeBlock(path)),
                  "(lambda u: struct.pack('<HHBI', 0x7075, 5 + len(u), 1, 0xCAFEBABE) + u)"
                  "('été'.encode())"});

  ExtendedTimestamp local_times;
  local_times.flags = 3;
  local_times.modTime = 1700000000;
  local_times.accessTime = -1;
  rows.push_back({"extended timestamp, local form", EncodeBlock(MakeBlock(local_times)),
                  "struct.pack('<HHBii', 0x5455, 9, 3, 1700000000, -1)"});
  ExtendedTimestamp central_times;
  central_times.flags = 7;
  central_times.modTime = 1700000000;
  rows.push_back({"extended timestamp, central form", EncodeBlock(MakeBlock(central_times)),
                  "struct.pack('<HHBi', 0x5455, 5, 7, 1700000000)"});
  return rows;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(Layouts, EveryRecordAndBlockEncodesAsStructPackLaysItOut) {
  const std::vector<Row> rows = Rows();
  std::string program = "import struct\nfor b in [\n";
  for (const Row& row : rows) program += "  " + row.python + ",\n";
  program += "]:\n  print(b.hex())\n";
  ScratchDir dir;
  WriteFile(dir / "layouts.py", program);
  const CommandResult r = RunShell("python3 layouts.py", dir.path());
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::istringstream lines(r.output);
  for (const Row& row : rows) {
    std::string expected;
    std::getline(lines, expected);
    EXPECT_EQ(Hex(row.engine), expected) << row.name;
  }
}

TEST(Layouts, BlocksDecodeBackToWhatWasEncoded) {
  ExtendedTimestamp central;
  central.flags = 7;
  central.modTime = 42;
  const auto block = MakeBlock(central);
  ByteReader in(block.data);
  ExtendedTimestamp back;
  ASSERT_TRUE(back.DecodeFrom(in));
  // The central form names three times and carries one: only that one is taken.
  EXPECT_EQ(back.modTime, 42);
  EXPECT_FALSE(back.accessTime.has_value());
  EXPECT_EQ(MakeBlock(back), block);

  InfoZipUnicodePath path;
  path.nameCrc32 = 99;
  path.utf8Name = "x";
  const auto path_block = MakeBlock(path);
  ByteReader path_in(path_block.data);
  InfoZipUnicodePath path_back;
  ASSERT_TRUE(path_back.DecodeFrom(path_in));
  EXPECT_EQ(path_back.utf8Name, "x");
  EXPECT_EQ(path_back.nameCrc32, 99u);
  ByteReader too_short(path_block.data.data(), 3);
  EXPECT_FALSE(InfoZipUnicodePath{}.DecodeFrom(too_short));
}

}  // namespace
}  // namespace qm::archive::testing
