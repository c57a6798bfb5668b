#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream.h"

namespace qm::archive {

// The part of an archive a commit is about to rewrite, kept in a file until the new directory
// is on the medium. A commit cuts the archive at the first changed record; from then until the
// tail file is dropped, the records that followed the cut exist only here.
//
// The file holds the archive's bytes from the cut to its end, then the trailer of
// format/tail_trailer.h, which names the archive file, the cut, the sizes and checksums of the
// tail and of a window of bytes before the cut. The trailer is written last and the file
// flushed before the archive is touched, so a file without a valid trailer means the archive
// was not cut yet.
//
// For an archive file the tail file lives beside it under the name TailFile::NameFor gives,
// so that the next open of the archive finds it (RecoverArchive) whatever happened to the
// process. Archives in memory or in a caller's stream keep their tail in a temporary file.
class TailFile {
 public:
  // The tail file of the archive file `archive_path`.
  static std::u16string NameFor(const std::u16string& archive_path);

  // Copies `archive` from `cut` to its end into `file`, a private file just made at `path`
  // (Platform::CreatePrivateFile), flushed to the medium (with the folder entry when
  // `durable`). On any failure the file is deleted and the exception travels on; the archive
  // is untouched either way. A durable tail must name its archive: an archive whose identity
  // cannot be told gets none (FileCreateError).
  TailFile(std::u16string path, std::unique_ptr<platform::File> file, platform::Stream& archive,
           std::int64_t cut, bool durable);
  // Deletes the file unless the archive was cut and not put back or committed since: then the
  // file is the only copy of the old records and stays for the next open to play back.
  ~TailFile();
  TailFile(const TailFile&) = delete;
  TailFile& operator=(const TailFile&) = delete;

  const std::u16string& Path() const { return path_; }
  std::int64_t Cut() const { return cut_; }
  // The tail's bytes; position 0 is the archive's byte at Cut().
  platform::Stream& Data() { return *stream_; }

  // From now on the archive lacks what this file holds.
  void MarkArchiveCut() { archive_cut_ = true; }
  // The new archive is whole on the medium; the file is no longer needed.
  void MarkArchiveCommitted() { archive_cut_ = false; }
  bool ArchiveCut() const { return archive_cut_; }
  // Puts the archive back as it was: cut at Cut(), the tail appended, flushed. The file stays.
  // A file reopened by name must be the one this object made.
  void RestoreInto(platform::Stream& archive);
  // Deletes the file (and asks for the deletion to be made durable). Throws when it cannot be
  // deleted; the file can still be played back then.
  void Drop();

 private:
  std::u16string path_;
  std::int64_t cut_;
  std::int64_t length_ = 0;
  bool durable_;
  bool archive_cut_ = false;
  bool dropped_ = false;
  std::unique_ptr<platform::FileStream> stream_;
  std::optional<platform::FileStatus> identity_;  // of the file made, to know it again
};

// What the next open found beside an archive file.
enum class TailRecovery { kNone, kStaleTailDeleted, kArchiveRestored };

// Looks for the tail file of `archive_path` (which need not exist). Only a tail that belongs
// to the archive is acted on: a regular file, no link, with one name, owned by the archive's
// owner or by the user running this, whose trailer names this very archive file, a cut within
// its size and the bytes still before the cut. Such a complete one means a commit was cut off
// after the archive was cut: the archive is put back as it was before that commit and the file
// deleted. One without any trailer is left over from a commit that stopped before touching the
// archive: it is deleted. Throws ArchiveError naming the tail file:
//   - kTailFileBlocked (69) when it belongs to the archive but the archive or the file may
//     not be written (or another process holds them);
//   - kForeignTailFile (73) for anything else at that name (another archive's tail, an old
//     version's, one whose trailer its bytes do not bear out, a link, another user's file);
//     neither it nor the archive is touched.
TailRecovery RecoverArchive(const std::u16string& archive_path, std::u16string_view component_name);

// Copies `count` bytes from `from`'s position to `to`'s; nothing when `count` is 0.
void CopyExactly(platform::Stream& from, platform::Stream& to, std::int64_t count);
// Flushes a stream to the medium when it is a file; memory streams have nothing to flush.
void FlushToMedium(platform::Stream& stream);
// The folder part of `path` (with no trailing separator), "." when there is none.
std::u16string FolderOf(const std::u16string& path);
// What the file under a stream is, when the stream is a file that can say.
std::optional<platform::FileStatus> StatusOf(platform::Stream& stream);

}  // namespace qm::archive
