// Adding items: files and folders gathered from disk (AddFiles, MoveFiles) and single items
// from a stream, a buffer or a string. Nothing is written here: entries are made in the
// directory, marked Modified, and the commit at the outermost EndUpdate writes them.
#include <algorithm>
#include <ctime>
#include <mutex>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "archive/writing/commit_plan.h"
#include "archive/writing/disk_paths.h"
#include "archive/writing/file_gatherer.h"
#include "platform/archive_lock.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;
namespace attr = platform::attr;

std::uint32_t DosTimeOf(std::time_t date_time) {
  return platform::UnixTimeToDosDateTime(date_time == 0 ? std::time(nullptr) : date_time);
}

std::uint32_t NowDosTime() {
  return DosTimeOf(0);
}

// A stream item's name: one final separator dropped, "/" between folders. A backslash is a
// folder step too: stored names never carry one, whatever the platform.
std::u16string StreamItemName(std::u16string name) {
  if (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) name.pop_back();
  std::replace(name.begin(), name.end(), u'\\', u'/');
  std::replace(name.begin(), name.end(), kPathSeparator, u'/');
  return name;
}

bool IsExistingFolder(const std::u16string& path) {
  const auto a = platform::Platform::Current().GetAttributes(path);
  return a != attr::kInvalid && (a & attr::kDirectory) != 0;
}

bool IsListedFolder(const platform::DirEntry& entry) {
  return (entry.attributes & attr::kDirectory) != 0;
}

// The attributes a disk source is stored with: the platform's; the archive bit for a source
// that is gone.
std::int32_t DiskAttributes(const std::u16string& path) {
  const auto a = platform::Platform::Current().GetAttributes(path);
  return static_cast<std::int32_t>(a == attr::kInvalid ? attr::kArchive : a);
}

// A source of 4 GiB or more, or any source under zmAlways, is marked as needing Zip64 from the
// start, so that the record writer reserves the block.
void MarkSize(DirItem& item, std::uint64_t size, Zip64Mode mode) {
  if (size >= kEscape32 || mode == Zip64Mode::zmAlways) {
    item.bHugeFile = true;
    item.CentralDir.unCompSize = kEscape32;
    item.EditRecord().Zip64ExtInfo.uncompSize = size;
  } else {
    item.CentralDir.unCompSize = static_cast<std::uint32_t>(size);
  }
}

}  // namespace

// The walk's view of the component: each file or folder the gatherer lets through becomes an
// entry (or is declined by the events on the way).
class BaseArchiver::AddingTarget final : public GatherTarget {
 public:
  AddingTarget(BaseArchiver& owner, bool is_move) : owner_(owner), is_move_(is_move) {}
  void AddDiskFile(const std::u16string& full_path, const std::u16string& root,
                   const platform::DirEntry& entry) override {
    owner_.AddDiskFile(full_path, root, entry, is_move_);
  }

 private:
  BaseArchiver& owner_;
  bool is_move_;
};

void BaseArchiver::AddFiles() {
  AddOrMoveFiles(file_masks_, options_.SearchAttr, {}, false, true);
}

void BaseArchiver::AddFiles(const std::u16string& file_mask, std::int32_t search_attr,
                            const std::u16string& exclusion_mask) {
  AddOrMoveFiles({file_mask}, search_attr, exclusion_mask, false, false);
}

void BaseArchiver::MoveFiles() {
  AddOrMoveFiles(file_masks_, options_.SearchAttr, {}, true, true);
}

void BaseArchiver::MoveFiles(const std::u16string& file_mask, std::int32_t search_attr,
                             const std::u16string& exclusion_mask) {
  AddOrMoveFiles({file_mask}, search_attr, exclusion_mask, true, false);
}

void BaseArchiver::AddOrMoveFiles(const std::vector<std::u16string>& masks,
                                  std::int32_t search_attr, const std::u16string& exclusion_mask,
                                  bool is_move, bool from_properties) {
  CheckOpen();
  if (!is_move || from_properties) CheckVolumeModification();

  std::vector<std::u16string> exclusions;
  if (from_properties) {
    exclusions = exclusion_masks_;
  } else if (!exclusion_mask.empty()) {
    exclusions.push_back(exclusion_mask);
  }
  // The archive never goes into itself (an in-memory archive has no file to keep out).
  if (!in_memory_ && !file_name_.empty()) {
    exclusions.push_back(ResolvePath(u"", file_name_, current_dir_));
  }
  if (!from_properties && !volume_file_name_.empty() && volume_file_name_ != file_name_) {
    exclusions.push_back(ResolvePath(u"", volume_file_name_, current_dir_));
  }

  BeginUpdate();
  try {
    AddFilesFromMasks(masks, static_cast<std::uint32_t>(search_attr), std::move(exclusions),
                      is_move, options_.Recurse);
  } catch (...) {
    CancelUpdate();
    throw;
  }
  EndUpdate();
}

void BaseArchiver::AddFilesFromMasks(const std::vector<std::u16string>& masks,
                                     std::uint32_t search_attr,
                                     std::vector<std::u16string> exclusions, bool is_move,
                                     bool recurse) {
  std::lock_guard lock(platform::ArchiveLock());
  ScopedValue<std::u16string> keep_current_dir(current_dir_, current_dir_);
  const std::u16string root = ResolvePath(base_dir_, u"", current_dir_);
  current_dir_ = root;
  GatherSettings settings;
  settings.current_dir = root;
  settings.base_dir = base_dir_;
  settings.exclusions = std::move(exclusions);
  settings.search_attr = search_attr;
  settings.keep_listings = masks.size() > 1;
  AddingTarget target(*this, is_move);
  FileGatherer gatherer(std::move(settings), target);
  for (const std::u16string& mask : masks) gatherer.ScanDirectory(root, root, mask, recurse);
}

void BaseArchiver::AddDiskFile(const std::u16string& full_path, const std::u16string& root,
                               const platform::DirEntry& entry, bool is_move) {
  const ProcessOperation operation = is_move ? ProcessOperation::poMove : ProcessOperation::poAdd;
  bool confirm = true;
  DoConfirmProcessFile(full_path, operation, confirm);
  if (!confirm) return;
  const std::int32_t index = AddItemEntry(full_path, root, 0, 0, true, &entry);
  if (index < 0) return;
  DirItem& item = *dir_manager_->CDir.ItemPtr(index);
  if (is_move) item.Operation = ProcessOperation::poMove;

  const bool is_folder = IsListedFolder(entry);
  for (const std::u16string& mask : no_compression_masks_) {
    if (MatchesDiskMask(full_path, mask, is_folder, current_dir_, base_dir_)) {
      item.CompressionMode = 0;
      const bool zip_method =
          compression_method_ == method::kStored || compression_method_ == method::kDeflated;
      item.CentralDir.compMethod = zip_method ? method::kStored : 255;
      item.CompressionMethod = item.CentralDir.compMethod;
      break;
    }
  }
  MarkSize(item, entry.size, zip64_mode_);
}

std::int32_t BaseArchiver::AddItemEntry(const std::u16string& source_name,
                                        const std::u16string& root, std::time_t date_time,
                                        std::int32_t attributes, bool from_disk,
                                        const platform::DirEntry* listed) {
  platform::Platform& os = platform::Platform::Current();
  std::u16string name;
  std::int32_t attr_value = attributes;
  if (from_disk) {
    name = listed ? StoredNameBelow(source_name, root, options_.StorePath, current_dir_)
                  : BuildStoredName(source_name, root, options_.StorePath, current_dir_);
    const bool is_folder = listed ? IsListedFolder(*listed) : IsExistingFolder(source_name);
    if (!name.empty() && !name.ends_with(u'/') && is_folder) name += u'/';
    attr_value =
        listed ? static_cast<std::int32_t>(listed->attributes) : DiskAttributes(source_name);
  } else {
    name = StreamItemName(source_name);
    // A folder entry's name ends with "/" (that is how other tools know it), whatever the
    // caller gave.
    if ((static_cast<std::uint32_t>(attributes) & attr::kDirectory) != 0 && !name.empty()) {
      name += u'/';
    }
  }
  std::string comment;
  DoStoreFile(name, attr_value, comment, source_name);
  // Nothing can be stored without a name (the base folder added by its own path): such a
  // source is passed over rather than made into a nameless entry.
  if (name.empty() || name == u"/") return -1;

  DirArray& dir = dir_manager_->CDir;
  std::int32_t index = -1;
  std::optional<std::uint64_t> replaced_record;
  if (FindReplaceable(dir, name, index)) {
    const DirItem& existing = dir.GetItem(index);
    const auto existing_time = static_cast<std::int32_t>(
        (std::uint32_t{existing.CentralDir.lastModDate} << 16) | existing.CentralDir.lastModTime);
    const auto new_time = static_cast<std::int32_t>(
        !from_disk ? DosTimeOf(date_time)
        : listed   ? listed->dos_time
                   : os.GetLastWriteDosTime(source_name).value_or(NowDosTime()));
    std::u16string destination = name;
    if (!OverwriteAllowed(source_name, destination, [&] { return new_time <=> existing_time; }))
      return -1;
    DirItem& item = *dir.ItemPtr(index);
    replaced_record = OldRecordOffset(item);
    item.Modified = true;
    item.EditChange().SrcFileName = source_name;
    item.Operation = ProcessOperation::poUpdate;
  } else {
    index = dir.Count();
    dir.SetCount(index + 1);
    dir.ItemPtr(index)->Operation = ProcessOperation::poAdd;
  }
  InitItemEntry(index, source_name, date_time, attributes, from_disk, listed);

  DirItem& item = *dir.ItemPtr(index);
  item.EditChange().ReplacedRecord = replaced_record;
  if (item.Name != name) dir.SetItemName(index, name);
  item.CentralDir.nameLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(name.size(), 0xFFFF));
  item.CentralDir.externalAttr = static_cast<std::uint32_t>(attr_value);
  if (!comment.empty() || item.HasRecord()) item.EditRecord().Comment = std::move(comment);
  item.CentralDir.commentLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(item.Record().Comment.size(), 0xFFFF));
  item.EditChange().UseOldRijndael = false;
  if (item.HasRecord()) item.EditRecord().ExtraFields.clear();
  return index;
}

bool BaseArchiver::FindReplaceable(DirArray& dir, std::u16string_view name, std::int32_t& index) {
  return platform::Platform::Current().FileNamesAreCaseSensitive()
             ? dir.FileExistsMatchingCase(name, index)
             : dir.FileExists(name, index);
}

void BaseArchiver::InitItemEntry(std::int32_t index, const std::u16string& source_name,
                                 std::time_t date_time, std::int32_t attributes, bool from_disk,
                                 const platform::DirEntry* listed) {
  platform::Platform& os = platform::Platform::Current();
  std::u16string name;
  bool is_folder = false;
  std::uint32_t dos_time = 0;
  std::uint32_t attr_value = static_cast<std::uint32_t>(attributes);
  if (from_disk && listed) {
    // The walk resolved current_dir_ and listed the source: nothing to ask the disk again.
    name = StoredNameBelow(source_name, current_dir_, options_.StorePath, current_dir_);
    is_folder = IsListedFolder(*listed);
    dos_time = listed->dos_time;
    attr_value = listed->attributes;
    if (is_folder && !name.empty() && !name.ends_with(u'/')) name += u'/';
  } else if (from_disk) {
    name = BuildStoredName(source_name, current_dir_, options_.StorePath, current_dir_);
    is_folder = IsExistingFolder(source_name);
    dos_time = os.GetLastWriteDosTime(source_name).value_or(NowDosTime());
    attr_value = static_cast<std::uint32_t>(DiskAttributes(source_name));
    if (is_folder && !name.empty() && !name.ends_with(u'/')) name += u'/';
  } else {
    name = StreamItemName(source_name);
    is_folder = (attr_value & attr::kDirectory) != 0;
    if (is_folder && !name.empty()) name += u'/';
    dos_time = DosTimeOf(date_time);
  }
  if (name.empty()) return;

  DirArray& dir = dir_manager_->CDir;
  DirItem& item = *dir.ItemPtr(index);
  if (item.Name != name || index >= dir.NamedCount()) dir.SetItemName(index, name);
  item.Modified = true;
  DirItemChange& change = item.EditChange();
  change.Password = password_;
  change.SrcFileName = from_disk ? source_name : std::u16string();
  // Taken again when the new source is read.
  change.SourceStatus.reset();
  if (from_disk) {
    // A stream item replaced by a disk file lets go of its stream.
    change.Stream.reset();
    change.bDestroyStream = false;
    change.Position = 0;
  }
  item.CompressionMode = is_folder ? 0 : compression_mode_;
  item.CompressionMethod = compression_method_;
  item.EncryptionAlgorithm = CryptoAlgorithm::caPkzipClassic;
  item.bHugeFile = false;
  if (item.HasRecord()) item.EditRecord().Zip64ExtInfo = {};

  ZipCentralDir& cd = item.CentralDir;
  cd = ZipCentralDir{};
  cd.signature = is_zip_format_ ? sig::kCentralDir : sig::kAltCentralDir;
  cd.versionMadeBy =
      is_zip_format_ ? (options_.OEMFileNames ? kVersionOem : kVersionNtfs) : kAltVersionThreshold;
  cd.extractVersion = cd.versionMadeBy;
  cd.compMethod = compression_method_;
  cd.genPurposeFlag = password_.empty() ? 0 : gpf::kEncrypted;
  cd.lastModTime = static_cast<std::uint16_t>(dos_time & 0xFFFF);
  cd.lastModDate = static_cast<std::uint16_t>(dos_time >> 16);
  cd.crc32 = 0xFFFFFFFF;
  cd.nameLength = static_cast<std::uint16_t>(std::min<std::size_t>(name.size(), 0xFFFF));
  cd.externalAttr = attr_value;
  if (is_folder) {
    cd.compMethod = method::kStored;
    item.CompressionMethod = method::kStored;
    cd.crc32 = 0;
    cd.genPurposeFlag = gpf::kDirectoryEntry;
  }
}

void BaseArchiver::AddFromStream(const std::u16string& file_name, platform::Stream& stream,
                                 bool copy_to_buffer, std::int64_t position, std::int64_t count,
                                 std::int32_t attributes, std::time_t date_time) {
  AddStreamItem(file_name, BorrowStream(stream), date_time, attributes, count, position, false,
                copy_to_buffer);
}

void BaseArchiver::AddFromBuffer(const std::u16string& file_name, const void* buffer,
                                 std::int32_t count, std::int32_t attributes,
                                 std::time_t date_time) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  auto stream = std::make_shared<platform::MemoryStream>(
      std::vector<unsigned char>(bytes, bytes + std::max<std::int32_t>(count, 0)));
  AddStreamItem(file_name, std::move(stream), date_time, attributes, 0, 0, true, false);
}

void BaseArchiver::AddFromString(const std::u16string& file_name, const std::u16string& text,
                                 std::int32_t attributes, std::time_t date_time) {
  const std::string ansi = platform::Utf16ToAnsi(text);
  auto stream = std::make_shared<platform::MemoryStream>(
      std::vector<unsigned char>(ansi.begin(), ansi.end()));
  AddStreamItem(file_name, std::move(stream), date_time, attributes,
                static_cast<std::int64_t>(ansi.size()), 0, true, false);
}

void BaseArchiver::AddStreamItem(const std::u16string& file_name,
                                 std::shared_ptr<platform::Stream> stream, std::time_t date_time,
                                 std::int32_t attributes, std::int64_t count, std::int64_t position,
                                 bool owns_stream, bool copy_to_buffer) {
  CheckOpen();
  CheckVolumeModification();
  progress_enabled_ = false;
  BeginUpdate();
  try {
    const std::int32_t index = AddItemEntry(file_name, u"", date_time, attributes, false);
    if (index >= 0) {
      DirItem& item = *dir_manager_->CDir.ItemPtr(index);
      item.CentralDir.externalAttr = static_cast<std::uint32_t>(attributes);
      const std::uint32_t dos_time = DosTimeOf(date_time);
      item.CentralDir.lastModTime = static_cast<std::uint16_t>(dos_time & 0xFFFF);
      item.CentralDir.lastModDate = static_cast<std::uint16_t>(dos_time >> 16);
      if (copy_to_buffer) {
        DirItemChange& change = item.EditChange();
        change.Stream.reset();
        change.bDestroyStream = false;
        change.Stream = CopyOfStream(*stream, position, count);
        change.Position = 0;
        change.bDestroyStream = true;
      } else {
        DirItemChange& change = item.EditChange();
        change.Stream = std::move(stream);
        change.Position = static_cast<std::int32_t>(position);
        change.bDestroyStream = owns_stream;
      }
      // The size of what the item will hold (a copied window, not the stream it came from):
      // a small window of a huge stream needs no Zip64.
      MarkSize(item,
               static_cast<std::uint64_t>(std::max<std::int64_t>(0, item.Change().Stream->Size())),
               zip64_mode_);
    }
  } catch (...) {
    CancelUpdate();
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::shared_ptr<platform::Stream> BaseArchiver::CopyOfStream(platform::Stream& source,
                                                             std::int64_t position,
                                                             std::int64_t count) {
  const std::int64_t kept_position = source.Position();
  auto copy = std::make_shared<platform::MemoryStream>();
  try {
    if (count == 0) {
      source.SetPosition(0);
      count = source.Size();
    } else {
      source.SetPosition(position);
    }
    copy->Data().reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    // Pieces of a bounded size: a caller's stream may be large, the buffer is not.
    constexpr std::int64_t kPiece = 10000;
    std::vector<unsigned char> piece(static_cast<std::size_t>(kPiece));
    std::int64_t left = count;
    while (left > 0) {
      const auto n = static_cast<std::size_t>(std::min(kPiece, left));
      source.ReadBuffer(piece.data(), n);
      copy->WriteBuffer(piece.data(), n);
      left -= static_cast<std::int64_t>(n);
    }
  } catch (...) {
    source.SetPosition(kept_position);
    throw;
  }
  source.SetPosition(kept_position);
  copy->SetPosition(0);
  return copy;
}

}  // namespace qm::archive
