#pragma once

#include <cstdint>
#include <string_view>

#include "archive/archive_types.h"
#include "platform/memory_stream.h"
#include "platform/stream.h"

namespace qm::archive {

// What the volume writer needs of the component whose set it fills.
class VolumeHost {
 public:
  virtual ~VolumeHost() = default;
  virtual SpanningMode Mode() const = 0;
  // Bytes free on the disk of the volume being written.
  virtual std::int64_t FreeSpace() = 0;
  // The size limit of the volume being written; -1 when only the disk limits it.
  virtual std::int64_t VolumeSize() = 0;
  // The volume being written is complete: it is closed (on a removable disk, flushed to the
  // medium first) and the next one is opened, asking for its disk where needed. Answers the
  // new volume's stream.
  virtual platform::Stream& NextVolume() = 0;
  // Progress of a volume copy; false when the user cancelled it.
  virtual bool CopyProgress(double percent, ProgressPhase phase) = 0;
  // Named in the errors the writer raises.
  virtual std::u16string_view ComponentName() const = 0;
};

// Writes `count` bytes into the set, filling each volume up to its size or its disk's free
// space and going on in the next volume. `keep_together` -1 lets the block be cut anywhere;
// k >= 0 asks that the rest of the block and k bytes after it lie in one volume, else the block
// starts on the next one. `buffer`, when given, collects the volume's bytes until the volume
// is complete (written to `stream` at each volume change). `stream` follows the volume changes.
// Answers the bytes placed: fewer than `count` when the volume had no room left at all.
// A single-file archive (smNone) is a plain write.
//
// A block that an empty volume cannot take (a kept-together block longer than the volume, or
// a disk that takes nothing) raises `kVolumeWrite` rather than opening volume after volume.
std::int64_t WriteToVolume(VolumeHost& host, const std::uint8_t* data, std::int64_t count,
                           platform::MemoryStream* buffer, std::int64_t keep_together,
                           platform::Stream*& stream);

// Goes on to the next volume unless `length` more bytes fit into the current one; native error
// 46 when an empty volume cannot take them either.
void KeepRoom(VolumeHost& host, std::int64_t length, platform::MemoryStream* buffer,
              platform::Stream*& stream);

// WriteToVolume that raises `kVolumeWrite` unless every byte was placed.
void WriteToVolumeChecked(VolumeHost& host, const std::uint8_t* data, std::int64_t count,
                          platform::MemoryStream* buffer, std::int64_t keep_together,
                          platform::Stream*& stream);

// Copies `count` bytes (-1: the rest) from `source`'s position into the set in pieces of up to
// 1,000,000 bytes, with copy progress when `report` is set. Answers the bytes copied; fewer
// when the user cancelled (`cancel` set). A piece the set does not take in full raises native
// error 46: what follows could only be written in the wrong place.
std::int64_t CopyToVolumes(VolumeHost& host, platform::Stream& source, platform::Stream*& stream,
                           bool report, platform::MemoryStream* buffer, std::int64_t keep_together,
                           std::int64_t count, bool& cancel);

}  // namespace qm::archive
