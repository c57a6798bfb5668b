#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qm::archive {

// The trailer that closes a commit's tail file (writing/tail_file.h), written after the bytes
// it describes. It says which archive the bytes were cut from and at what moment, so that
// only that archive, in the state the cut left it, ever takes them back:
//
//   "QMTAIL02"      8  magic and version
//   device          8  the archive's volume        } the archive file itself, whatever
//   file            8  the archive's file number   } name it has
//   cut             8  the archive's offset of the tail's first byte
//   length          8  the tail's byte count (the file is these bytes and the trailer)
//   archive size    8  the archive's size before the commit: cut + length
//   window length   4  how many bytes right before the cut the window CRC covers
//   window CRC      4  CRC-32 of those bytes, which the commit never rewrites
//   tail CRC        4  CRC-32 of the tail's bytes
//
// All little-endian. The first version ("QMTAIL01", 36 bytes: cut, length, archive size, tail
// CRC) named no archive; such a trailer is recognised so that it can be reported, and never
// taken as belonging to any archive.
struct TailTrailer {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  std::int64_t cut = 0;
  std::int64_t length = 0;
  std::int64_t archive_size = 0;
  std::uint32_t window_length = 0;
  std::uint32_t window_crc = 0;
  std::uint32_t tail_crc = 0;
};

inline constexpr std::size_t kTailTrailerLength = 60;
inline constexpr std::size_t kOldTailTrailerLength = 36;

std::vector<std::uint8_t> EncodeTailTrailer(const TailTrailer& trailer);

// Whether the last kTailTrailerLength bytes of a tail file begin with this version's magic:
// the trailer was written, whether or not what it says holds.
bool HasTailTrailerMagic(std::span<const std::uint8_t> last_bytes);

// The trailer held by the last kTailTrailerLength bytes of a tail file of `file_size` bytes,
// when they are one whose sizes agree with each other and with the file; nothing otherwise.
std::optional<TailTrailer> DecodeTailTrailer(std::span<const std::uint8_t> last_bytes,
                                             std::int64_t file_size);

// Whether the last kOldTailTrailerLength bytes of a tail file begin with the first version's
// magic.
bool HasOldTailTrailerMagic(std::span<const std::uint8_t> last_bytes);

}  // namespace qm::archive
