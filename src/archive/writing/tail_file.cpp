#include "archive/writing/tail_file.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/archive_error.h"
#include "archive/format/tail_trailer.h"
#include "platform/file_mode.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;

constexpr std::size_t kChunk = 1 << 16;
// The bytes before the cut whose checksum tells the archive a tail was cut from in that
// state: enough to tell two archives apart, few enough to cost nothing against the copy.
constexpr std::int64_t kWindow = 1 << 16;

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

std::uint32_t CrcOf(platform::Stream& from, std::int64_t count) {
  platform::NullStream sink;
  return CopyWithCrc(from, sink, count);
}

std::vector<std::uint8_t> ReadLast(platform::Stream& stream, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  stream.SetPosition(stream.Size() - static_cast<std::int64_t>(count));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

// What a tail file holds, as far as its trailer tells.
enum class TailKind {
  kIncomplete,  // no trailer: the commit stopped before it cut the archive
  kOldVersion,  // a trailer of the first version, which names no archive
  kUnsound,     // a trailer whose sizes or CRC the file does not bear out
  kComplete,
};

struct TailContents {
  TailKind kind = TailKind::kIncomplete;
  TailTrailer trailer;
};

TailContents Inspect(platform::Stream& tail) {
  const std::int64_t size = tail.Size();
  if (size >= static_cast<std::int64_t>(kTailTrailerLength)) {
    const auto last = ReadLast(tail, kTailTrailerLength);
    if (HasTailTrailerMagic(last)) {
      const auto trailer = DecodeTailTrailer(last, size);
      if (!trailer) return {TailKind::kUnsound, {}};
      tail.SetPosition(0);
      if (CrcOf(tail, trailer->length) != trailer->tail_crc) return {TailKind::kUnsound, {}};
      return {TailKind::kComplete, *trailer};
    }
  }
  if (size >= static_cast<std::int64_t>(kOldTailTrailerLength) &&
      HasOldTailTrailerMagic(ReadLast(tail, kOldTailTrailerLength))) {
    return {TailKind::kOldVersion, {}};
  }
  return {};
}

// Whether the tail described by `trailer` was cut from `archive` as it now is: the same file,
// still at least as long as the cut, with the bytes before the cut the commit left alone.
bool BelongsTo(platform::FileStream& archive, const TailTrailer& trailer) {
  const auto status = archive.Handle().Status();
  if (!status || status->device != trailer.device || status->file != trailer.file) return false;
  if (archive.Size() < trailer.cut) return false;
  archive.SetPosition(trailer.cut - trailer.window_length);
  return CrcOf(archive, trailer.window_length) == trailer.window_crc;
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

std::optional<platform::FileStatus> StatusOf(platform::Stream& stream) {
  if (auto* file = dynamic_cast<platform::FileStream*>(&stream)) return file->Handle().Status();
  return std::nullopt;
}

TailFile::TailFile(std::u16string path, std::unique_ptr<platform::File> file,
                   platform::Stream& archive, std::int64_t cut, bool durable)
    : path_(std::move(path)), cut_(cut), durable_(durable) {
  identity_ = file->Status();
  stream_ = std::make_unique<platform::FileStream>(path_, std::move(file));
  try {
    TailTrailer trailer;
    if (const auto archive_status = StatusOf(archive)) {
      trailer.device = archive_status->device;
      trailer.file = archive_status->file;
      // A commit by another user than the archive's owner (a superuser's) gives the tail to
      // that owner where it may, so that the owner's next open can play it back too.
      if (durable_ && identity_ && identity_->owner != archive_status->owner) {
        stream_->Handle().SetOwner(archive_status->owner, archive_status->group);
      }
    } else if (durable_) {
      throw platform::FileCreateError(platform::Utf16ToUtf8(path_),
                                      "The archive file cannot say which file it is");
    }
    const std::int64_t size = archive.Size();
    length_ = size - cut;
    trailer.cut = cut;
    trailer.length = length_;
    trailer.archive_size = size;
    trailer.window_length = static_cast<std::uint32_t>(std::min(cut, kWindow));
    archive.SetPosition(cut - trailer.window_length);
    trailer.window_crc = CrcOf(archive, trailer.window_length);
    trailer.tail_crc = CopyWithCrc(archive, *stream_, length_);
    const auto bytes = EncodeTailTrailer(trailer);
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
  if (!stream_) {
    auto reopened = std::make_unique<platform::FileStream>(path_, fm::kRead | fm::kShareExclusive);
    // Its name was free for a moment (a failed deletion): what stands there now must be the
    // file this commit wrote, not one put in its place.
    const auto status = reopened->Handle().Status();
    if (identity_ && (!status || !status->SameFile(*identity_))) {
      throw platform::ReadError("Tail file replaced: " + platform::Utf16ToUtf8(path_));
    }
    stream_ = std::move(reopened);
  }
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
  // Looked at without following links: a link at the tail's name is never a tail.
  const auto seen = os.GetFileStatus(tail_path, false);
  if (!seen) return TailRecovery::kNone;
  auto blocked = [&] {
    return ArchiveError(ErrorSite::kTailFileBlocked, {tail_path}, component_name);
  };
  auto foreign = [&] {
    return ArchiveError(ErrorSite::kForeignTailFile, {tail_path}, component_name);
  };
  // Only the archive's owner, or whoever runs this, can have made a tail worth trusting;
  // anyone else who can put a file beside the archive could make it say anything.
  const auto archive_seen = os.GetFileStatus(archive_path, true);
  if (!archive_seen || seen->symbolic_link || seen->directory || seen->hard_links != 1 ||
      (seen->owner != archive_seen->owner && seen->owner != os.CurrentUser())) {
    throw foreign();
  }
  std::unique_ptr<platform::FileStream> tail;
  try {
    // Exclusive: a commit still running in another process holds the file and fails this.
    tail = std::make_unique<platform::FileStream>(tail_path, fm::kRead | fm::kShareExclusive);
  } catch (const platform::StreamError&) {
    throw blocked();
  }
  // The file opened must be the one looked at, not something put at its name since.
  const auto opened = tail->Handle().Status();
  if (!opened || !opened->SameFile(*seen)) throw foreign();
  TailContents contents;
  try {
    contents = Inspect(*tail);
  } catch (const platform::StreamError&) {
    throw blocked();
  }
  if (contents.kind == TailKind::kOldVersion || contents.kind == TailKind::kUnsound) {
    throw foreign();
  }
  TailRecovery outcome = TailRecovery::kStaleTailDeleted;
  if (contents.kind == TailKind::kComplete) {
    const TailTrailer& trailer = contents.trailer;
    std::unique_ptr<platform::FileStream> archive;
    try {
      archive = std::make_unique<platform::FileStream>(archive_path,
                                                       fm::kReadWrite | fm::kShareExclusive);
    } catch (const platform::StreamError&) {
      // It cannot be written now; whether the tail is its own decides what is said.
      bool belongs = true;
      try {
        platform::FileStream look(archive_path, fm::kRead | fm::kShareDenyNone);
        belongs = BelongsTo(look, trailer);
      } catch (const platform::StreamError&) {
      }
      throw belongs ? blocked() : foreign();
    }
    try {
      if (!BelongsTo(*archive, trailer)) throw foreign();
      archive->SetSize(trailer.cut);
      archive->SetPosition(trailer.cut);
      tail->SetPosition(0);
      CopyExactly(*tail, *archive, trailer.length);
      archive->Flush();
    } catch (const platform::StreamError&) {
      throw blocked();
    }
    outcome = TailRecovery::kArchiveRestored;
  }
  tail.reset();
  if (os.DeleteFile(tail_path) || os.FlushDirectory(FolderOf(tail_path))) throw blocked();
  return outcome;
}

}  // namespace qm::archive
