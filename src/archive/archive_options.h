#pragma once

#include <cstdint>

#include "archive/archive_types.h"
#include "archive/volume_number_info.h"

namespace qm::archive {

// Processing options of the component (its Options property). Copying copies every option.
struct ArchiveOptions {
  // Read-only, hidden, system, volume label, directory, archive, normal, compressed and
  // not-content-indexed: with this filter every item is found.
  static constexpr std::int32_t kDefaultSearchAttr = 0x28BF;

  StorePathMode StorePath = StorePathMode::spRelativePath;
  bool Recurse = true;
  FileShareMode ShareMode = FileShareMode::smShareDenyNone;
  archive::OverwriteMode OverwriteMode = archive::OverwriteMode::omAlways;
  bool CreateDirs = true;
  bool ReplaceReadOnly = true;
  bool SetAttributes = true;
  std::int32_t SearchAttr = kDefaultSearchAttr;
  bool FlushBuffers = true;
  bool OEMFileNames = true;
  // Extraction keeps every file inside the destination folder unless this is set: then a
  // name with a drive or server, an absolute name or one climbing out with ".." is written
  // where it leads, as older versions did.
  bool AllowPathsOutsideBaseDir = false;
};

// Volume settings (the SpanningOptions property). Every value starts at zero.
class SpanningOptions {
 public:
  static constexpr std::int64_t kMinCustomVolumeSize = 65536;

  bool AdvancedNaming() const { return advanced_naming_; }
  void SetAdvancedNaming(bool value) { advanced_naming_ = value; }
  std::int64_t FirstVolumeSize() const { return first_volume_size_; }
  void SetFirstVolumeSize(std::int64_t value) { first_volume_size_ = value; }
  archive::VolumeSize VolumeSize() const { return volume_size_; }
  void SetVolumeSize(archive::VolumeSize value) { volume_size_ = value; }
  std::int64_t CustomVolumeSize() const { return custom_volume_size_; }
  // A size below 65536 is stored as 65536.
  void SetCustomVolumeSize(std::int64_t value);
  bool SaveDirToFirstVolume() const { return save_dir_to_first_volume_; }
  void SetSaveDirToFirstVolume(bool value) { save_dir_to_first_volume_ = value; }

  // Bytes of the given volume; -1 means no fixed size (the volume logic detects it).
  std::int64_t GetVolumeSize(const VolumeNumberInfo& volume) const;

 private:
  bool advanced_naming_ = false;
  std::int64_t first_volume_size_ = 0;
  archive::VolumeSize volume_size_ = archive::VolumeSize::vsAutoDetect;
  std::int64_t custom_volume_size_ = 0;
  bool save_dir_to_first_volume_ = false;
};

}  // namespace qm::archive
