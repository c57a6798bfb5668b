// Decoding one item's data: stored or deflated (zlib), the size and CRC checks, the partial
// window of ExtractToBuffer, and the points where encrypted items are deciphered.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/data/coding_errors.h"
#include "archive/directory/dir_manager.h"
#include "archive/encryption/item_decipher.h"
#include "archive/format/records.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kInputChunk = 0x100000;
constexpr std::int64_t kOutputChunk = 0x100000;
// Progress of stored data is told in pieces of this size.
constexpr std::int64_t kStoredPiece = 0xFFFF;

// A raw-deflate inflater, ended on every path. Stored item data carries neither zlib's header
// nor its Adler-32 trailer, so the stream is opened raw.
class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw DecompressionError("error");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  z_stream& operator*() { return stream_; }

 private:
  z_stream stream_{};
};

// Reads exactly `count` bytes; a short read is a failed one (there is no next volume to go on
// with here).
bool ReadItemChunk(platform::Stream& archive, std::uint8_t* buffer, std::int64_t count) {
  std::int64_t got = 0;
  while (got < count) {
    const std::size_t n = archive.Read(buffer + got, static_cast<std::size_t>(count - got));
    if (n == 0) return false;
    got += static_cast<std::int64_t>(n);
  }
  return true;
}

enum class ChunkResult { kMore, kStreamEnd, kFailed, kCancelled };

std::u16string ForCallers(std::u16string name) {
  std::replace(name.begin(), name.end(), u'/', platform::kPathSeparator);
  return name;
}

}  // namespace

bool BaseArchiver::WriteWithRetry(platform::Stream& stream, const void* data, std::size_t count) {
  if (count == 0) return true;
  const std::int64_t position = stream.Position();
  for (;;) {
    std::size_t written = 0;
    try {
      written = stream.Write(data, count);
    } catch (const platform::WriteError&) {
      written = 0;  // the system refused: a full disk, a quota, a lost device
    }
    if (written == count) return true;
    bool cancel = true;
    DoDiskFull(-1, file_name_, cancel);
    if (cancel) {
      progress_cancel_ = true;
      return false;
    }
    stream.SetPosition(position);
  }
}

bool BaseArchiver::DecodeItem(platform::Stream& archive, platform::Stream& out,
                              std::int64_t start_position, std::int32_t count,
                              const DirItem& item) {
  // The local header: only its name and extra lengths (what to skip) and, for the classic
  // cipher, its flags, time and CRC are used; sizes come from the directory.
  std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> raw{};
  archive.ReadBuffer(raw.data(), raw.size());
  ByteReader header_reader(raw.data(), raw.size());
  ZipLocalHeader local;
  local.DecodeFrom(header_reader);
  // An offset into other bytes (another item's data) must not be decoded from there.
  const bool alternate = item.CentralDir.signature == sig::kAltCentralDir;
  if (local.signature != (alternate ? sig::kAltLocalHeader : sig::kLocalHeader)) {
    throw ArchiveError(ErrorSite::kLocalHeaderMissing, {ForCallers(item.Name)}, ComponentName());
  }
  archive.Seek(std::int64_t{local.nameLength} + local.extraLength,
               platform::Stream::Origin::kCurrent);

  std::int64_t compressed =
      static_cast<std::int64_t>(std::min<std::uint64_t>(item.CompressedSize(), INT64_MAX / 2));
  const std::int64_t expected =
      static_cast<std::int64_t>(std::min<std::uint64_t>(item.UncompressedSize(), INT64_MAX / 2));
  // Item data never runs into the central directory; a damaged size is cut there.
  const std::int64_t data_start = archive.Position();
  if (spanning_mode_ == SpanningMode::smNone && dm_handle_ &&
      data_start + compressed > dm_handle_->CentralDirOffset()) {
    compressed = std::max<std::int64_t>(0, dm_handle_->CentralDirOffset() - data_start);
  }

  progress_max_ = start_position + count != 0 ? start_position + count : expected;
  if (progress_max_ == 0) progress_max_ = 2;
  skip_file_ = false;

  const std::uint16_t method = item.CompressionMethod;
  if (method == method::kDeflate64) throw ArchiveError(ErrorSite::kDeflate64, ComponentName());
  if (method != method::kStored && method != method::kDeflated) return false;

  // Encryption hook 1: the header in front of the data and the password loop.
  std::unique_ptr<ItemDecipher> decipher;
  if (item.IsEncrypted()) {
    decipher = MakeItemDecipher(item, local);
    if (decipher) compressed -= decipher->HeaderSize() + decipher->TrailerSize();
    const std::int64_t mark = archive.Position();
    bool opened = false;
    for (;;) {
      archive.SetPosition(mark);
      opened = decipher != nullptr && decipher->CheckPassword(archive, password_);
      if (opened || suppress_password_event_) break;
      std::string new_password = password_;
      DoPassword(ForCallers(item.Name), new_password, skip_file_);
      if (skip_file_) return false;
      SetPassword(std::move(new_password));
    }
    // Without a cipher nothing can be decoded, whatever the password.
    if (!decipher) return false;
    if (compressed < 0) return false;
  }
  const std::int64_t data_begin = archive.Position();

  // Nothing beyond the recorded size is ever produced: the output room of every step is cut
  // to one byte past it, and that byte ends the item as damaged.
  const std::int64_t limit = expected;
  auto report_progress = [&]() {
    if (!progress_enabled_) return true;
    const double part = static_cast<double>(progress_) / static_cast<double>(progress_max_);
    DoFileProgress(item.Name, part * 100.0, item.Operation, ProgressPhase::ppProcess,
                   progress_cancel_);
    if (progress_cancel_) return false;
    const double files = std::max<std::int32_t>(processed_file_count_, 1);
    DoOverallProgress((part + processed_file_no_) / files * 100.0, item.Operation,
                      ProgressPhase::ppProcess, progress_cancel_);
    return !progress_cancel_;
  };

  std::vector<std::uint8_t> input(static_cast<std::size_t>(std::min(compressed, kInputChunk)));
  std::vector<std::uint8_t> output;
  std::unique_ptr<Inflater> inflater;
  if (method == method::kDeflated) {
    inflater = std::make_unique<Inflater>();
    output.resize(static_cast<std::size_t>(std::min(kOutputChunk, limit + 1)));
  }
  std::uint32_t crc = 0;  // zlib's form: already complemented
  std::int64_t consumed = 0;
  std::int64_t produced = 0;
  bool overflow = false;

  auto emit = [&](const std::uint8_t* data, std::int64_t n) {
    if (produced + n > limit) {
      n = limit - produced;
      overflow = true;
    }
    if (n > 0) {
      if (!WriteWithRetry(out, data, static_cast<std::size_t>(n))) return false;
      crc = static_cast<std::uint32_t>(::crc32(crc, data, static_cast<uInt>(n)));
      produced += n;
    }
    return !overflow;
  };

  auto inflate_chunk = [&](std::int64_t n) {
    z_stream& z = **inflater;
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(n);
    for (;;) {
      progress_ = produced;
      if (!report_progress()) return ChunkResult::kCancelled;
      const auto room = static_cast<uInt>(
          std::min<std::int64_t>(static_cast<std::int64_t>(output.size()), limit - produced + 1));
      z.next_out = output.data();
      z.avail_out = room;
      const int rc = inflate(&z, Z_NO_FLUSH);
      // What was decoded before damaged data is kept (ExtractCorruptedFiles shows it).
      if (!emit(output.data(), room - z.avail_out)) {
        return progress_cancel_ ? ChunkResult::kCancelled : ChunkResult::kFailed;
      }
      if (rc == Z_STREAM_END) return ChunkResult::kStreamEnd;
      if (rc == Z_BUF_ERROR && z.avail_in == 0) return ChunkResult::kMore;
      if (rc < 0) return ChunkResult::kFailed;
      if (z.avail_in == 0 && z.avail_out != 0) return ChunkResult::kMore;
    }
  };

  // Stored data: progress is told per piece, the chunk is written in one go afterwards (a
  // cancelled chunk is not written; its file goes anyway).
  auto copy_chunk = [&](std::int64_t n) {
    for (std::int64_t at = 0; at < n; at += kStoredPiece) {
      const std::int64_t piece = std::min(kStoredPiece, n - at);
      progress_ = consumed + at + piece;
      if (!report_progress()) return ChunkResult::kCancelled;
    }
    if (!emit(input.data(), n)) {
      return progress_cancel_ ? ChunkResult::kCancelled : ChunkResult::kFailed;
    }
    return ChunkResult::kMore;
  };

  std::int64_t skip = 0;
  bool window_done = false;
  while (consumed < compressed) {
    const std::int64_t n = std::min(kInputChunk, compressed - consumed);
    if (!ReadItemChunk(archive, input.data(), n)) return false;
    // Encryption hook 2: every chunk of stored bytes.
    if (decipher) decipher->Decrypt(input.data(), static_cast<std::size_t>(n));
    const std::int64_t before = produced;
    const ChunkResult result = inflater ? inflate_chunk(n) : copy_chunk(n);
    consumed += n;
    if (result == ChunkResult::kFailed || result == ChunkResult::kCancelled) return false;

    if (count > 0) {
      // The partial window: keep only the chunk where the window starts and what follows.
      const std::int64_t chunk_out = produced - before;
      if (produced < start_position) {
        out.SetPosition(0);
      } else if (produced - chunk_out < start_position) {
        skip = start_position - (produced - chunk_out);
      }
      if (start_position + count <= produced) {
        if (start_position > 0) out.SetPosition(skip);
        window_done = true;
        break;
      }
    }
    if (result == ChunkResult::kStreamEnd) break;
  }
  if (window_done || count > 0) return true;

  if (produced != expected) return false;
  if (SkipsZipChecks(alternate, item.CentralDir.extractVersion)) {
    return true;
  }
  if (decipher) {
    // Encryption hook 3: the check after the data (the AES code follows it).
    archive.SetPosition(data_begin + compressed);
    return decipher->Verify(archive, item, crc);
  }
  return crc == item.CentralDir.crc32;
}

}  // namespace qm::archive
