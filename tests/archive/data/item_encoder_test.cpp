// The writing stages on memory streams: what ItemEncoder writes decodes back (through zlib and
// through the engine's own decoder), its sizes and CRC, chunking, cancels and full disks,
// encryption, and the component's EncodeItem with its errors and Zip64 marks.
#include "archive/data/write/item_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "archive/archive_error.h"
#include "archive/data/codecs/compression_worker.h"
#include "archive/data/coding_errors.h"
#include "archive/data/write/encoder_chunking.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/format/records.h"
#include "archive/zip_archiver.h"
#include "encryption_test_support.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"
#include "zero_stream.h"

namespace qm::archive::testing {
namespace {

using platform::MemoryStream;

// Text-like data: compresses well, but not to nothing.
std::vector<std::uint8_t> Compressible(std::size_t size) {
  static const char* const kWords[] = {"archive ", "deflate ", "stream ", "chunk ",
                                       "header ",  "record ",  "entry ",  "zip\n"};
  std::vector<std::uint8_t> v;
  v.reserve(size);
  std::uint32_t state = 7;
  while (v.size() < size) {
    state = state * 1103515245 + 12345;
    const char* word = kWords[(state >> 16) % 8];
    for (const char* c = word; *c != 0 && v.size() < size; ++c) v.push_back(*c);
  }
  return v;
}

MemoryStream StreamOf(const std::vector<std::uint8_t>& bytes) {
  return MemoryStream(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> BytesOf(const MemoryStream& stream) {
  return {stream.Data().begin(), stream.Data().end()};
}

// zlib's raw deflate of the whole buffer at one level: the size the encoder must not exceed.
std::size_t ZlibSize(const std::vector<std::uint8_t>& data, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  const std::size_t size = z.total_out;
  deflateEnd(&z);
  return size;
}

// Records what the stages tell; answers as told.
struct RecordingEvents : ItemDataEvents {
  std::vector<std::int64_t> progress;
  int disk_full_calls = 0;
  std::int64_t cancel_at = -1;  // cancel when this many bytes are through
  int retries_allowed = 0;

  bool Progress(std::int64_t done, std::int64_t) override {
    progress.push_back(done);
    return cancel_at < 0 || done < cancel_at;
  }
  bool DiskFull() override { return ++disk_full_calls <= retries_allowed; }
  bool AskPassword(std::string&) override { return false; }
};

// A destination that refuses the first `refusals` writes (a full disk), then takes everything.
class RefusingStream : public MemoryStream {
 public:
  explicit RefusingStream(int refusals) : refusals_(refusals) {}
  std::size_t Write(const void* buffer, std::size_t count) override {
    if (refusals_ > 0) {
      --refusals_;
      // Half goes through before the disk is full: the retry must write from the same place.
      MemoryStream::Write(buffer, count / 2);
      return count / 2;
    }
    return MemoryStream::Write(buffer, count);
  }

 private:
  int refusals_;
};

// A source whose size says more than it gives, or whose bytes change on every pass.
class UnreliableSource : public MemoryStream {
 public:
  UnreliableSource(std::vector<std::uint8_t> data, std::int64_t claimed_size, bool drifting)
      : MemoryStream(std::vector<unsigned char>(data.begin(), data.end())),
        claimed_(claimed_size),
        drifting_(drifting) {}
  std::int64_t Size() override { return claimed_; }
  std::int64_t Seek(std::int64_t offset, Origin origin) override {
    if (drifting_ && origin == Origin::kBegin && offset == 0) ++Data()[0];
    return MemoryStream::Seek(offset, origin);
  }

 private:
  std::int64_t claimed_;
  bool drifting_;
};

EncodeOutcome Encode(const std::vector<std::uint8_t>& data, EncodeSettings settings,
                     MemoryStream& out, ItemDataEvents& events) {
  MemoryStream source = StreamOf(data);
  DirItem item;
  ItemEncoder encoder(std::move(settings), events);
  return encoder.Encode(out, source, item);
}

TEST(ItemEncoder, EveryModeRoundTripsAndIsNoLargerThanZlib) {
  // 1.625 MiB: more than one chunk at every mode, the last one partial (streamed); 200 KB:
  // one chunk (compressed in one call).
  for (const std::size_t size : {std::size_t{(13 << 20) / 8}, std::size_t{200000}})
    for (std::uint8_t mode = 0; mode <= 9; ++mode) {
      SCOPED_TRACE(::testing::Message() << "size " << size << " mode " << int{mode});
      const auto data = Compressible(size);
      const std::uint32_t crc = Crc32(data);
      RecordingEvents events;
      MemoryStream out;
      out.WriteBuffer("lead", 4);  // writing goes on from the destination's position
      const EncodeOutcome outcome = Encode(data, {.compression_mode = mode}, out, events);
      EXPECT_TRUE(outcome.Complete());
      EXPECT_EQ(outcome.crc32, crc);
      EXPECT_EQ(outcome.consumed, static_cast<std::int64_t>(data.size()));
      EXPECT_EQ(outcome.compressed_size + 4, out.Data().size());
      const auto stored = std::vector<std::uint8_t>(out.Data().begin() + 4, out.Data().end());
      if (mode == 0) {
        EXPECT_EQ(outcome.method, method::kStored);
        EXPECT_EQ(stored, data);
      } else {
        EXPECT_EQ(outcome.method, method::kDeflated);
        std::vector<std::uint8_t> inflated;
        ASSERT_TRUE(RawInflate(stored, inflated));
        EXPECT_EQ(inflated, data);
        EXPECT_LE(stored.size(), ZlibSize(data, mode));
      }
      // One progress report per chunk, each before its chunk.
      const std::int64_t chunk = EncoderChunkSize(mode);
      ASSERT_EQ(events.progress.size(), (data.size() + chunk - 1) / chunk);
      for (std::size_t i = 0; i < events.progress.size(); ++i) {
        EXPECT_EQ(events.progress[i], static_cast<std::int64_t>(i) * chunk);
      }
    }
}

TEST(ItemEncoder, SizesAtChunkEdges) {
  struct Case {
    std::uint8_t mode;
    std::size_t size;
  };
  const Case cases[] = {{6, 0},        {1, 0},           {0, 0},       {6, 1},
                        {6, 0x100000}, {6, 0x100001},    {1, 0x80000}, {9, 0x180000},
                        {0, 0x100000}, {0, 0x100000 - 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << int{c.mode} << " size " << c.size);
    const auto data = Compressible(c.size);
    RecordingEvents events;
    MemoryStream out;
    const EncodeOutcome outcome = Encode(data, {.compression_mode = c.mode}, out, events);
    EXPECT_TRUE(outcome.Complete());
    if (c.size == 0) {
      // Nothing to compress: stored, no bytes, CRC 0.
      EXPECT_EQ(outcome.method, method::kStored);
      EXPECT_EQ(outcome.compressed_size, 0u);
      EXPECT_EQ(outcome.crc32, 0u);
      EXPECT_TRUE(events.progress.empty());
      continue;
    }
    std::vector<std::uint8_t> back = BytesOf(out);
    if (outcome.method == method::kDeflated) {
      back.clear();
      ASSERT_TRUE(RawInflate(BytesOf(out), back));
    }
    EXPECT_EQ(back, data);
  }
}

// Sources deflated ahead on the worker (and by the caller, waiting) stand in for the encoder's
// own work: the same bytes, outcome and progress; where they do not fit the item (another mode,
// more than one chunk, a failed compression) the encoder does the work itself.
TEST(ItemEncoder, SourcesCompressedAheadWriteWhatTheEncoderWrites) {
  struct Case {
    std::uint8_t mode;      // the item's mode
    std::size_t size;       // the source's size
    std::uint8_t made_for;  // the mode the source was compressed at
    bool failed = false;    // the compression ahead failed
  };
  std::vector<Case> cases;
  for (std::uint8_t mode = 1; mode <= 9; ++mode) {
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{3000}, static_cast<std::size_t>(EncoderChunkSize(mode))}) {
      cases.push_back({mode, size, mode});
    }
  }
  cases.push_back({6, 50000, 1});
  cases.push_back({1, 0x80001, 1});
  cases.push_back({6, 50000, 6, true});
  std::vector<std::shared_ptr<WholeSource>> ahead;
  {
    CompressionWorker worker;
    for (const Case& c : cases) {
      auto source = std::make_shared<WholeSource>();
      const auto data = Compressible(c.size);
      source->bytes.assign(data.begin(), data.end());
      source->mode = c.made_for;
      worker.Submit(source);
      ahead.push_back(std::move(source));
    }
    for (const auto& source : ahead) {
      worker.Finish(source);
      EXPECT_FALSE(source->failure);
    }
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(::testing::Message() << "mode " << int{c.mode} << " size " << c.size
                                      << " compressed at " << int{c.made_for});
    if (c.failed) ahead[i]->failure = std::make_exception_ptr(CompressionError("error"));
    const auto data = Compressible(c.size);
    RecordingEvents plain_events;
    MemoryStream plain;
    const EncodeOutcome expected = Encode(data, {.compression_mode = c.mode}, plain, plain_events);
    RecordingEvents events;
    MemoryStream out;
    MemoryStream source = StreamOf(data);
    ItemEncoder encoder({.compression_mode = c.mode}, events);
    const EncodeOutcome outcome = encoder.Encode(out, source, DirItem{}, ahead[i].get());
    EXPECT_EQ(BytesOf(out), BytesOf(plain));
    EXPECT_EQ(outcome.crc32, expected.crc32);
    EXPECT_EQ(outcome.compressed_size, expected.compressed_size);
    EXPECT_EQ(outcome.consumed, expected.consumed);
    EXPECT_EQ(outcome.method, expected.method);
    EXPECT_EQ(events.progress, plain_events.progress);
  }
}

TEST(ItemEncoder, CancelAndFullDisk) {
  const auto data = Compressible(3 << 20);
  {
    SCOPED_TRACE("cancelled from the progress report of the second chunk");
    RecordingEvents events;
    events.cancel_at = 0x100000;
    MemoryStream out;
    const EncodeOutcome outcome = Encode(data, {.compression_mode = 6}, out, events);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.consumed, 0x100000);
  }
  {
    SCOPED_TRACE("a full disk the user clears twice");
    RecordingEvents events;
    events.retries_allowed = 2;
    RefusingStream out(2);
    const EncodeOutcome outcome = Encode(data, {.compression_mode = 0}, out, events);
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(events.disk_full_calls, 2);
    EXPECT_EQ(BytesOf(out), data);
  }
  {
    SCOPED_TRACE("a full disk the user gives up on");
    RecordingEvents events;
    RefusingStream out(1);
    const EncodeOutcome outcome = Encode(data, {.compression_mode = 1}, out, events);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.consumed, 0);  // the refused chunk is not counted
    EXPECT_EQ(outcome.compressed_size, 0u);
  }
}

TEST(ItemEncoder, EncryptedItemsDecryptWithTheirPassword) {
  const auto data = Compressible(1 << 20 | 12345);
  struct Case {
    CryptoAlgorithm algorithm;
    std::uint64_t overhead;
  };
  const Case cases[] = {{CryptoAlgorithm::caPkzipClassic, 12},
                        {CryptoAlgorithm::caAES_128, 8 + 2 + 10},
                        {CryptoAlgorithm::caAES_192, 12 + 2 + 10},
                        {CryptoAlgorithm::caAES_256, 16 + 2 + 10}};
  for (const Case& c : cases) {
    for (std::uint8_t mode : {0, 5}) {
      SCOPED_TRACE(::testing::Message()
                   << "algorithm " << int(c.algorithm) << " mode " << int{mode});
      RepeatableRandom random;
      RecordingEvents events;
      MemoryStream out;
      const EncodeOutcome outcome =
          Encode(data, {.compression_mode = mode, .password = "pw", .algorithm = c.algorithm}, out,
                 events);
      ASSERT_TRUE(outcome.Complete());
      EXPECT_EQ(outcome.crc32, Crc32(data));
      EXPECT_EQ(outcome.compressed_size, out.Data().size());
      // The plain compressed form is what an unencrypted run gives; encryption adds exactly
      // its header and trailer.
      RecordingEvents plain_events;
      MemoryStream plain;
      Encode(data, {.compression_mode = mode}, plain, plain_events);
      EXPECT_EQ(outcome.compressed_size, plain.Data().size() + c.overhead);

      DirItem item;
      item.EncryptionAlgorithm = c.algorithm;
      item.CompressionMethod = outcome.method;
      item.CentralDir.crc32 = outcome.crc32;
      ZipLocalHeader local;
      local.crc32 = outcome.crc32;
      auto decipher = MakeItemDecipher(item, local);
      ASSERT_NE(decipher, nullptr);
      out.SetPosition(0);
      EXPECT_FALSE(decipher->CheckPassword(out, "wrong!"));
      out.SetPosition(0);
      ASSERT_TRUE(decipher->CheckPassword(out, "pw"));
      std::vector<std::uint8_t> body(out.Data().begin() + decipher->HeaderSize(),
                                     out.Data().end() - decipher->TrailerSize());
      decipher->Decrypt(body);
      EXPECT_EQ(body, BytesOf(plain));
      out.SetPosition(static_cast<std::int64_t>(out.Data().size()) - decipher->TrailerSize());
      EXPECT_TRUE(decipher->Verify(out, item, outcome.crc32));
    }
  }
}

// --- The component's EncodeItem

// Encodes entries with EncodeItem into an archive written here with records.h (the record
// writer is not this suite's subject), then reads them back through the engine's decoder.
struct Entry {
  std::string name;
  std::vector<std::uint8_t> data;
  std::uint8_t mode = 6;
};

std::vector<std::uint8_t> ArchiveOfEncodedItems(ZipArchiver& writer,
                                                const std::vector<Entry>& entries) {
  MemoryStream archive;
  std::vector<std::uint8_t> central;
  ByteWriter cd_out(central);
  for (const Entry& e : entries) {
    DirItem item;
    item.Name = std::u16string(e.name.begin(), e.name.end());
    item.CompressionMode = e.mode;
    item.CompressionMethod = e.mode == 0 ? method::kStored : method::kDeflated;
    item.EditChange().Password = writer.Password();
    item.CentralDir.genPurposeFlag = item.Change().Password.empty() ? 0 : gpf::kEncrypted;
    const std::int64_t offset = archive.Position();
    // The AES block names the real method, known only once the data is encoded; it is
    // reserved here and written afterwards, as the record writer does with the header.
    const bool aes = !item.Change().Password.empty() &&
                     writer.EncryptionMethod() != CryptoAlgorithm::caPkzipClassic;
    const std::size_t extra_length = aes ? 11 : 0;
    std::vector<std::uint8_t> placeholder(ZipLocalHeader::kEncodedLength + e.name.size() +
                                          extra_length);
    archive.WriteBuffer(placeholder.data(), placeholder.size());
    MemoryStream source = StreamOf(e.data);
    EXPECT_TRUE(writer.EncodeItem(archive, source, item));
    const std::int64_t end = archive.Position();

    std::vector<std::uint8_t> extra;
    ByteWriter extra_out(extra);
    if (aes) {
      AesExtraField block;
      block.strength = static_cast<std::uint8_t>(writer.EncryptionMethod());
      block.actualCompMethod = item.CompressionMethod;
      extra_out.U16(extra_id::kAes);
      extra_out.U16(AesExtraField::kEncodedLength);
      block.EncodeTo(extra_out);
    }
    ZipLocalHeader local;
    local.extractVersion = kVersionOem;
    local.genPurposeFlag = item.CentralDir.genPurposeFlag;
    local.compMethod = item.CentralDir.compMethod;
    local.crc32 = item.CentralDir.crc32;
    local.compSize = item.CentralDir.compSize;
    local.unCompSize = item.CentralDir.unCompSize;
    local.nameLength = static_cast<std::uint16_t>(e.name.size());
    local.extraLength = static_cast<std::uint16_t>(extra.size());
    std::vector<std::uint8_t> header;
    ByteWriter header_out(header);
    local.EncodeTo(header_out);
    header_out.Bytes(e.name);
    header_out.Bytes(extra.data(), extra.size());
    archive.SetPosition(offset);
    archive.WriteBuffer(header.data(), header.size());
    archive.SetPosition(end);

    ZipCentralDir cd = item.CentralDir;
    cd.versionMadeBy = kVersionOem;
    cd.extractVersion = kVersionOem;
    cd.nameLength = local.nameLength;
    cd.extraLength = local.extraLength;
    cd.externalAttr = 0x20;
    cd.relOffsetLH = static_cast<std::uint32_t>(offset);
    cd.EncodeTo(cd_out);
    cd_out.Bytes(e.name);
    cd_out.Bytes(extra.data(), extra.size());
  }
  ZipCentralDirEnd end;
  end.entriesOnDisk = static_cast<std::uint16_t>(entries.size());
  end.entriesCentralDir = end.entriesOnDisk;
  end.centralDirSize = static_cast<std::uint32_t>(central.size());
  end.offsetStartDir = static_cast<std::uint32_t>(archive.Position());
  archive.WriteBuffer(central.data(), central.size());
  std::vector<std::uint8_t> tail;
  ByteWriter tail_out(tail);
  end.EncodeTo(tail_out);
  archive.WriteBuffer(tail.data(), tail.size());
  return BytesOf(archive);
}

TEST(EncodeItem, WhatItWritesTheEngineReadsBack) {
  const std::vector<Entry> entries = {{"empty.txt", {}, 6},
                                      {"stored.bin", Compressible(70000), 0},
                                      {"fast.txt", Compressible(600000), 1},
                                      {"max.txt", Compressible((13 << 20) / 8), 9}};
  struct Case {
    const char* password;
    CryptoAlgorithm algorithm;
  };
  const Case cases[] = {{"", CryptoAlgorithm::caPkzipClassic},
                        {"secret", CryptoAlgorithm::caPkzipClassic},
                        {"secret", CryptoAlgorithm::caAES_128},
                        {"secret", CryptoAlgorithm::caAES_192},
                        {"secret", CryptoAlgorithm::caAES_256}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "password '" << c.password << "' algorithm " << int(c.algorithm));
    ZipArchiver writer;
    writer.SetPassword(c.password);
    writer.SetEncryptionMethod(c.algorithm);
    MemoryStream archive([&] {
      const auto bytes = ArchiveOfEncodedItems(writer, entries);
      return std::vector<unsigned char>(bytes.begin(), bytes.end());
    }());
    ZipArchiver reader;
    reader.SetPassword(c.password);
    reader.OpenArchive(archive, false);
    for (const Entry& e : entries) {
      SCOPED_TRACE(e.name);
      MemoryStream out;
      reader.ExtractToStream(std::u16string(e.name.begin(), e.name.end()), out);
      EXPECT_EQ(BytesOf(out), e.data);
    }
  }
}

TEST(EncodeItem, ItemFieldsAndZip64Marks) {
  struct Case {
    const char* label;
    Zip64Mode zip64;
    std::size_t size;
    std::uint8_t mode;
    bool huge;
  };
  const Case cases[] = {{"small under zmAuto", Zip64Mode::zmAuto, 10, 6, false},
                        {"small under zmAlways", Zip64Mode::zmAlways, 10, 6, true},
                        {"empty under zmAlways", Zip64Mode::zmAlways, 0, 6, true},
                        {"small under zmDisabled", Zip64Mode::zmDisabled, 10, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ZipArchiver archiver;
    archiver.SetZip64Mode(c.zip64);
    const auto data = Compressible(c.size);
    MemoryStream source = StreamOf(data);
    MemoryStream out;
    DirItem item;
    item.CompressionMode = c.mode;
    item.CompressionMethod = method::kDeflated;
    ASSERT_TRUE(archiver.EncodeItem(out, source, item));
    EXPECT_EQ(item.bHugeFile, c.huge);
    EXPECT_EQ(item.CentralDir.crc32, Crc32(data));
    EXPECT_EQ(item.UncompressedSize(), c.size);
    EXPECT_EQ(item.CompressedSize(), out.Data().size());
    EXPECT_EQ(item.CentralDir.unCompSize, c.huge ? kEscape32 : c.size);
    EXPECT_EQ(item.CentralDir.compSize, c.huge ? kEscape32 : out.Data().size());
    const std::uint16_t expected_method = c.mode == 0 || c.size == 0 ? 0 : 8;
    EXPECT_EQ(item.CompressionMethod, expected_method);
    EXPECT_EQ(item.CentralDir.compMethod, expected_method);
  }
}

TEST(EncodeItem, AesItemsSayMethod99AndKeepTheirRealMethod) {
  ZipArchiver archiver;
  archiver.SetEncryptionMethod(CryptoAlgorithm::caAES_192);
  for (std::size_t size : {std::size_t{0}, std::size_t{1000}}) {
    SCOPED_TRACE(size);
    MemoryStream source = StreamOf(Compressible(size));
    MemoryStream out;
    DirItem item;
    item.EditChange().Password = "pw";
    item.CompressionMode = 6;
    ASSERT_TRUE(archiver.EncodeItem(out, source, item));
    EXPECT_EQ(item.CentralDir.compMethod, method::kAes);
    EXPECT_EQ(item.CompressionMethod, size == 0 ? method::kStored : method::kDeflated);
    EXPECT_EQ(item.EncryptionAlgorithm, CryptoAlgorithm::caAES_192);
    EXPECT_EQ(item.CompressedSize(), out.Data().size());
  }
}

TEST(EncodeItem, SourcesThatFailTheirSizeRaiseNative34) {
  struct Case {
    const char* label;
    std::int64_t claimed;
    bool drifting;
    const char* password;
  };
  const Case cases[] = {{"shorter than its size", 5000, false, ""},
                        {"shorter than its size, encrypted", 5000, false, "pw"},
                        {"changed between the CRC pass and the data pass", 3000, true, "pw"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ZipArchiver archiver(u"Archiver1");
    UnreliableSource source(Compressible(3000), c.claimed, c.drifting);
    MemoryStream out;
    DirItem item;
    item.CompressionMode = 1;
    item.EditChange().Password = c.password;
    try {
      archiver.EncodeItem(out, source, item);
      ADD_FAILURE() << "no error";
    } catch (const ArchiveError& e) {
      EXPECT_TRUE(e.Is(ErrorSite::kCompressedSizeMismatch)) << e.what();
      EXPECT_NE(std::string(e.what()).find("rfs.size = " + std::to_string(c.claimed)),
                std::string::npos)
          << e.what();
    }
  }
}

TEST(EncodeItem, AFullDiskGoesToOnDiskFull) {
  const auto data = Compressible(300000);
  for (bool give_up : {true, false}) {
    SCOPED_TRACE(give_up ? "the handler gives up" : "the handler makes room");
    ZipArchiver archiver;
    int calls = 0;
    archiver.OnDiskFull = [&](BaseArchiver&, int volume, const std::u16string&, bool& cancel) {
      ++calls;
      EXPECT_EQ(volume, 0);
      cancel = give_up;
    };
    MemoryStream source = StreamOf(data);
    RefusingStream out(1);
    DirItem item;
    item.CompressionMode = 0;
    EXPECT_EQ(archiver.EncodeItem(out, source, item), !give_up);
    EXPECT_EQ(calls, 1);
    if (!give_up) {
      EXPECT_EQ(BytesOf(out), data);
    }
  }
  // Without a handler a full disk is an error (outside spanning).
  ZipArchiver archiver;
  MemoryStream source = StreamOf(data);
  RefusingStream out(1);
  DirItem item;
  try {
    archiver.EncodeItem(out, source, item);
    ADD_FAILURE() << "no error";
  } catch (const ArchiveError& e) {
    EXPECT_TRUE(e.Is(ErrorSite::kDiskFull));
  }
}

TEST(EncodeItem, AnItemOf4GiBNeedsZip64) {
  const std::int64_t size = std::int64_t{kEscape32};  // exactly 0xFFFFFFFF counts
  for (Zip64Mode mode : {Zip64Mode::zmAuto, Zip64Mode::zmDisabled}) {
    SCOPED_TRACE(static_cast<int>(mode));
    ZipArchiver archiver(u"Archiver1");
    archiver.SetZip64Mode(mode);
    ZeroStream source(size);
    platform::NullStream out;
    DirItem item;
    item.EditChange().SrcFileName = u"/data/big.bin";
    item.CompressionMode = 0;
    if (mode == Zip64Mode::zmDisabled) {
      try {
        archiver.EncodeItem(out, source, item);
        ADD_FAILURE() << "no error";
      } catch (const ArchiveError& e) {
        EXPECT_TRUE(e.Is(ErrorSite::kItemNeedsZip64));
        EXPECT_NE(std::string(e.what()).find("/data/big.bin"), std::string::npos) << e.what();
      }
      continue;
    }
    ASSERT_TRUE(archiver.EncodeItem(out, source, item));
    EXPECT_TRUE(item.bHugeFile);
    EXPECT_EQ(item.CentralDir.unCompSize, kEscape32);
    EXPECT_EQ(item.CentralDir.compSize, kEscape32);
    EXPECT_EQ(item.UncompressedSize(), static_cast<std::uint64_t>(size));
    EXPECT_EQ(item.CompressedSize(), static_cast<std::uint64_t>(size));
    EXPECT_EQ(out.Size(), size);
  }
}

}  // namespace
}  // namespace qm::archive::testing
