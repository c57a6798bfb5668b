#include "archive/writing/tail_file.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "archive/archive_error.h"
#include "archive/format/byte_reader.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;

constexpr char kMagic[8] = {'Q', 'M', 'T', 'A', 'I', 'L', '0', '1'};
constexpr std::size_t kTrailerLength = 8 + 8 + 8 + 8 + 4;
constexpr std::size_t kChunk = 1 << 16;

struct Trailer {
  std::int64_t cut = 0;
  std::int64_t length = 0;
  std::int64_t archive_size = 0;
  std::uint32_t crc = 0;
};

std::vector<std::uint8_t> EncodeTrailer(const Trailer& t) {
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  out.Bytes(kMagic, sizeof kMagic);
  out.U64(static_cast<std::uint64_t>(t.cut));
  out.U64(static_cast<std::uint64_t>(t.length));
  out.U64(static_cast<std::uint64_t>(t.archive_size));
  out.U32(t.crc);
  return bytes;
}

// Copies `count` bytes from `from`'s position to `to`'s, answering their CRC-32.
std::uint32_t CopyWithCrc(platform::Stream& from, platform::Stream& to, std::int64_t count) {
  std::vector<std::uint8_t> buffer(kChunk);
  uLong crc = ::crc32(0L, Z_NULL, 0);
  while (count > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, kChunk));
    from.ReadBuffer(buffer.data(), n);
    to.WriteBuffer(buffer.data(), n);
    crc = ::crc32(crc, buffer.data(), static_cast<uInt>(n));
    count -= static_cast<std::int64_t>(n);
  }
  return static_cast<std::uint32_t>(crc);
}

// The trailer of a complete tail file whose bytes match their CRC; nothing otherwise.
std::optional<Trailer> ReadCompleteTrailer(platform::Stream& tail) {
  const std::int64_t size = tail.Size();
  if (size < static_cast<std::int64_t>(kTrailerLength)) return std::nullopt;
  std::array<std::uint8_t, kTrailerLength> bytes{};
  tail.SetPosition(size - static_cast<std::int64_t>(kTrailerLength));
  tail.ReadBuffer(bytes.data(), bytes.size());
  ByteReader in(bytes.data(), bytes.size());
  const std::string magic = in.Bytes(sizeof kMagic);
  Trailer t;
  t.cut = static_cast<std::int64_t>(in.U64());
  t.length = static_cast<std::int64_t>(in.U64());
  t.archive_size = static_cast<std::int64_t>(in.U64());
  t.crc = in.U32();
  if (magic != std::string(kMagic, sizeof kMagic) || t.cut < 0 || t.length < 0 ||
      t.length != size - static_cast<std::int64_t>(kTrailerLength) ||
      t.archive_size != t.cut + t.length) {
    return std::nullopt;
  }
  tail.SetPosition(0);
  platform::NullStream sink;
  if (CopyWithCrc(tail, sink, t.length) != t.crc) return std::nullopt;
  return t;
}

void ThrowIfFailed(std::error_code error) {
  if (error) throw platform::WriteError("Stream write error: " + error.message());
}

}  // namespace

std::u16string TailFile::NameFor(const std::u16string& archive_path) {
  return archive_path + u".qmtail";
}

std::u16string FolderOf(const std::u16string& path) {
  const auto slash = path.find_last_of(platform::kPathSeparator);
  if (slash == std::u16string::npos) return u".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

void CopyExactly(platform::Stream& from, platform::Stream& to, std::int64_t count) {
  if (count > 0) to.CopyFrom(from, count);
}

void FlushToMedium(platform::Stream& stream) {
  if (auto* file = dynamic_cast<platform::FileStream*>(&stream)) file->Flush();
}

TailFile::TailFile(std::u16string path, platform::Stream& archive, std::int64_t cut, bool durable)
    : path_(std::move(path)), cut_(cut), durable_(durable) {
  stream_ = std::make_unique<platform::FileStream>(path_, fm::kCreate);
  try {
    const std::int64_t size = archive.Size();
    length_ = size - cut;
    archive.SetPosition(cut);
    Trailer trailer{cut, length_, size, CopyWithCrc(archive, *stream_, length_)};
    const auto bytes = EncodeTrailer(trailer);
    stream_->WriteBuffer(bytes.data(), bytes.size());
    stream_->Flush();
    if (durable_) ThrowIfFailed(platform::Platform::Current().FlushDirectory(FolderOf(path_)));
  } catch (...) {
    stream_.reset();
    platform::Platform::Current().DeleteFile(path_);
    throw;
  }
}

TailFile::~TailFile() {
  if (dropped_ || archive_cut_) return;
  stream_.reset();
  platform::Platform::Current().DeleteFile(path_);
}

void TailFile::RestoreInto(platform::Stream& archive) {
  if (dropped_) throw platform::ReadError("Tail file already deleted");
  if (!stream_)
    stream_ = std::make_unique<platform::FileStream>(path_, fm::kRead | fm::kShareExclusive);
  archive.SetSize(cut_);
  archive.SetPosition(cut_);
  stream_->SetPosition(0);
  CopyExactly(*stream_, archive, length_);
  FlushToMedium(archive);
  archive_cut_ = false;
}

void TailFile::Drop() {
  if (dropped_) return;
  stream_.reset();
  platform::Platform& os = platform::Platform::Current();
  if (const auto error = os.DeleteFile(path_)) {
    // Still there: a rollback can play it back (RestoreInto reopens it).
    ThrowIfFailed(error);
  }
  // Best effort: should the deletion not reach the medium, the next open plays the tail back
  // and finds the archive as it was before this commit, which is whole too.
  if (durable_) os.FlushDirectory(FolderOf(path_));
  dropped_ = true;
}

TailRecovery RecoverArchive(const std::u16string& archive_path,
                            std::u16string_view component_name) {
  const std::u16string tail_path = TailFile::NameFor(archive_path);
  platform::Platform& os = platform::Platform::Current();
  if (os.GetAttributes(tail_path) == platform::attr::kInvalid) return TailRecovery::kNone;
  auto blocked = [&] {
    return ArchiveError(ErrorSite::kTailFileBlocked, {tail_path}, component_name);
  };
  TailRecovery outcome = TailRecovery::kStaleTailDeleted;
  try {
    // Exclusive: a commit still running in another process holds the archive and fails this.
    platform::FileStream tail(tail_path, fm::kRead | fm::kShareExclusive);
    if (auto trailer = ReadCompleteTrailer(tail)) {
      platform::FileStream archive(archive_path, fm::kReadWrite | fm::kShareExclusive);
      archive.SetSize(trailer->cut);
      archive.SetPosition(trailer->cut);
      tail.SetPosition(0);
      CopyExactly(tail, archive, trailer->length);
      archive.Flush();
      outcome = TailRecovery::kArchiveRestored;
    }
  } catch (const platform::StreamError&) {
    throw blocked();
  }
  if (os.DeleteFile(tail_path) || os.FlushDirectory(FolderOf(tail_path))) throw blocked();
  return outcome;
}

}  // namespace qm::archive
