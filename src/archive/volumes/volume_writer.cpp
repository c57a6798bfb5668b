#include "archive/volumes/volume_writer.h"

#include <algorithm>
#include <vector>

#include "archive/archive_error.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kCopyPiece = 1000000;

[[noreturn]] void VolumeCannotTake(VolumeHost& host) {
  throw ArchiveError(ErrorSite::kVolumeWrite, host.ComponentName());
}

void SpillBuffer(platform::MemoryStream* buffer, platform::Stream& stream) {
  if (buffer == nullptr || buffer->Size() == 0) return;
  buffer->SetPosition(0);
  stream.CopyFrom(*buffer, buffer->Size());
  buffer->SetSize(0);
}

// Bytes the current volume can still take: its disk's free space, and its size limit.
std::int64_t RoomLeft(VolumeHost& host, platform::MemoryStream* buffer, platform::Stream& stream) {
  const std::int64_t buffered = buffer != nullptr ? buffer->Size() : 0;
  const std::int64_t free = host.FreeSpace() - buffered;
  const std::int64_t size = host.VolumeSize();
  return size < 0 ? free : std::min(free, size - stream.Size() - buffered);
}

}  // namespace

void KeepRoom(VolumeHost& host, std::int64_t length, platform::MemoryStream* buffer,
              platform::Stream*& stream) {
  if (host.Mode() == SpanningMode::smNone || RoomLeft(host, buffer, *stream) >= length) return;
  SpillBuffer(buffer, *stream);
  stream = &host.NextVolume();
  if (RoomLeft(host, buffer, *stream) < length) VolumeCannotTake(host);
}

std::int64_t WriteToVolume(VolumeHost& host, const std::uint8_t* data, std::int64_t count,
                           platform::MemoryStream* buffer, std::int64_t keep_together,
                           platform::Stream*& stream) {
  if (host.Mode() == SpanningMode::smNone) {
    return static_cast<std::int64_t>(stream->Write(data, static_cast<std::size_t>(count)));
  }
  std::int64_t written = 0;
  bool fresh_volume = false;
  while (written < count) {
    const std::int64_t room = RoomLeft(host, buffer, *stream);
    if (room < 0) break;
    const std::int64_t left = count - written;
    std::int64_t taken = 0;
    if (keep_together < 0 || room >= keep_together + left) {
      taken = std::min(room, left);
      if (taken > 0) {
        platform::Stream& target = buffer != nullptr ? *buffer : *stream;
        target.WriteBuffer(data + written, static_cast<std::size_t>(taken));
        written += taken;
      }
    }
    if (written >= count) break;
    // An empty volume that takes nothing would be followed by another just like it.
    if (fresh_volume && taken == 0) VolumeCannotTake(host);
    SpillBuffer(buffer, *stream);
    stream = &host.NextVolume();
    fresh_volume = stream->Size() == 0;
  }
  return written;
}

void WriteToVolumeChecked(VolumeHost& host, const std::uint8_t* data, std::int64_t count,
                          platform::MemoryStream* buffer, std::int64_t keep_together,
                          platform::Stream*& stream) {
  if (WriteToVolume(host, data, count, buffer, keep_together, stream) != count)
    VolumeCannotTake(host);
}

std::int64_t CopyToVolumes(VolumeHost& host, platform::Stream& source, platform::Stream*& stream,
                           bool report, platform::MemoryStream* buffer, std::int64_t keep_together,
                           std::int64_t count, bool& cancel) {
  const std::int64_t total = count < 0 ? source.Size() - source.Position() : count;
  const std::int64_t piece = count < 0 ? kCopyPiece : std::min(count, kCopyPiece);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::max<std::int64_t>(piece, 1)));
  cancel = false;
  if (report && !host.CopyProgress(0, ProgressPhase::ppStart)) {
    cancel = true;
    return 0;
  }
  std::int64_t copied = 0;
  while (copied < total) {
    const auto want = static_cast<std::size_t>(std::min(piece, total - copied));
    source.ReadBuffer(chunk.data(), want);
    const auto n = static_cast<std::int64_t>(want);
    if (WriteToVolume(host, chunk.data(), n, buffer, keep_together, stream) != n)
      VolumeCannotTake(host);
    copied += n;
    if (report &&
        !host.CopyProgress(static_cast<double>(copied) * 100.0 / static_cast<double>(total),
                           ProgressPhase::ppProcess)) {
      cancel = true;
      break;
    }
  }
  if (report && !host.CopyProgress(100, ProgressPhase::ppEnd)) cancel = true;
  return copied;
}

}  // namespace qm::archive
