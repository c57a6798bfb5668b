// SaveDirToVolumes: the directory of a new multi-volume set, written through the volume writer.
#include <vector>

#include "archive/directory/dir_manager.h"

namespace qm::archive {

void DirManager::SaveDirToVolumes(DirectoryVolumes& volumes) {
  std::vector<std::uint8_t> entry;
  std::uint32_t start_volume = volumes.Volume();
  std::int64_t start = volumes.Position();
  std::uint64_t size = 0;
  const std::int32_t count = CDir.Count();
  for (std::int32_t i = 0; i < count; ++i) {
    entry.clear();
    ByteWriter out(entry);
    DirItem& item = *CDir.ItemPtr(i);
    EncodeCentralEntry(item, settings_.oem_file_names, out);
    const ZipCentralDir& cd = item.CentralDir;
    const std::size_t head = ZipCentralDir::kEncodedLength + cd.nameLength + cd.extraLength;
    if (i == 0) {
      // The directory starts where its first entry lands.
      volumes.MakeRoom(static_cast<std::int64_t>(head));
      start_volume = volumes.Volume();
      start = volumes.Position();
    }
    volumes.Write(entry.data(), head, 0);
    volumes.Write(entry.data() + head, entry.size() - head, -1);
    size += entry.size();
  }
  central_dir_offset_ = start;

  volumes.MakeRoom(
      static_cast<std::int64_t>(EndRecordsLength(volumes.Position(), volumes.Volume())));
  std::vector<std::uint8_t> end;
  ByteWriter out(end);
  EncodeEndRecords(out, EndRecordPlace{.start_volume = start_volume,
                                       .start = start,
                                       .size = size,
                                       .volume = volumes.Volume(),
                                       .position = volumes.Position()});
  volumes.Write(end.data(), end.size(), 0);
}

}  // namespace qm::archive
