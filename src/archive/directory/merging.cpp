// Directories merged: the entries of another archive appended, their offsets moved to where
// their records were copied.
#include "archive/directory/dir_manager.h"

namespace qm::archive {

void MoveLocalHeaderOffset(DirItem& item, std::int64_t delta) {
  const bool escaped = item.CentralDir.relOffsetLH == kEscape32;
  const auto moved =
      static_cast<std::uint64_t>(static_cast<std::int64_t>(item.LocalHeaderOffset()) + delta);
  if (!escaped && moved < kEscape32) {
    item.CentralDir.relOffsetLH = static_cast<std::uint32_t>(moved);
    return;
  }
  item.bHugeFile = true;
  item.CentralDir.relOffsetLH = kEscape32;
  item.EditRecord().Zip64ExtInfo.relOffsetLH = moved;
}

void DirManager::MergeWith(const DirManager& other) {
  CDir.ClearTags();
  const std::int32_t before = CDir.Count();
  CDir.Append(other.CDir);
  for (std::int32_t i = before; i < CDir.Count(); ++i) {
    DirItem& item = *CDir.ItemPtr(i);
    MoveLocalHeaderOffset(item, central_dir_offset_);
    item.Tagged = false;
  }
}

}  // namespace qm::archive
