#include "archive/format/tail_trailer.h"

#include <algorithm>
#include <string_view>

#include "archive/format/byte_reader.h"

namespace qm::archive {
namespace {

constexpr std::string_view kMagic = "QMTAIL02";
constexpr std::string_view kOldMagic = "QMTAIL01";

// The sizes a trailer gives agree with each other and with the file holding them.
bool SizesAgree(const TailTrailer& t, std::int64_t file_size) {
  return t.cut >= 0 && t.length >= 0 &&
         t.length == file_size - static_cast<std::int64_t>(kTailTrailerLength) &&
         t.cut <= t.archive_size && t.archive_size - t.cut == t.length && t.window_length <= t.cut;
}

}  // namespace

std::vector<std::uint8_t> EncodeTailTrailer(const TailTrailer& t) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kTailTrailerLength);
  ByteWriter out(bytes);
  out.Bytes(kMagic.data(), kMagic.size());
  out.U64(t.device);
  out.U64(t.file);
  out.U64(static_cast<std::uint64_t>(t.cut));
  out.U64(static_cast<std::uint64_t>(t.length));
  out.U64(static_cast<std::uint64_t>(t.archive_size));
  out.U32(t.window_length);
  out.U32(t.window_crc);
  out.U32(t.tail_crc);
  return bytes;
}

std::optional<TailTrailer> DecodeTailTrailer(std::span<const std::uint8_t> last_bytes,
                                             std::int64_t file_size) {
  if (last_bytes.size() != kTailTrailerLength) return std::nullopt;
  ByteReader in(last_bytes);
  const std::string magic = in.Bytes(kMagic.size());
  TailTrailer t;
  t.device = in.U64();
  t.file = in.U64();
  t.cut = static_cast<std::int64_t>(in.U64());
  t.length = static_cast<std::int64_t>(in.U64());
  t.archive_size = static_cast<std::int64_t>(in.U64());
  t.window_length = in.U32();
  t.window_crc = in.U32();
  t.tail_crc = in.U32();
  if (!in.ok() || magic != kMagic || !SizesAgree(t, file_size)) return std::nullopt;
  return t;
}

bool HasTailTrailerMagic(std::span<const std::uint8_t> last_bytes) {
  return last_bytes.size() == kTailTrailerLength &&
         std::equal(kMagic.begin(), kMagic.end(), last_bytes.begin());
}

bool HasOldTailTrailerMagic(std::span<const std::uint8_t> last_bytes) {
  return last_bytes.size() == kOldTailTrailerLength &&
         std::equal(kOldMagic.begin(), kOldMagic.end(), last_bytes.begin());
}

}  // namespace qm::archive
