#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_events.h"
#include "archive/archive_item.h"
#include "archive/archive_options.h"
#include "archive/archive_types.h"
#include "archive/volume_number_info.h"
#include "platform/stream.h"

namespace qm::archive {

class DirManager;

// The archive component: holds the settings of one archive, opens and closes it (a file, a
// memory buffer or a caller's stream), counts update transactions and offers the operations
// on its items. One instance works on at most one archive at a time and is used by one thread
// at a time.
//
// Member definitions are spread over one source file per concern:
//   base_archiver.cpp     construction, properties and guard checks
//   archiver_open.cpp     opening and closing
//   archiver_update.cpp   update transactions and the commit
//   archiver_search.cpp   FindFirst / FindNext / FindItemIndex / FileCount
// The reading side's successors join the same way:
//   archiver_events.cpp   the virtual dispatchers (DoFileProgress, DoOverallProgress, ...)
//                         that raise the On... events below and supply defaults and prompts
//   archiver_process.cpp  TagItems (search-driven, sets DirItem::Tagged) and the per-item
//                         processing loop shared by extraction, testing, deletion and
//                         updating, run under platform::ArchiveLock()
//   archiver_extract.cpp, archiver_test.cpp, archiver_add.cpp, archiver_commit.cpp, ...
// Item data coding (decode/encode of one DirItem through zlib and the encryption transforms)
// lives beside the component in item_coding.h/.cpp; an item's data starts after its local
// header (DirItem::LocalHeaderOffset(), then the local nameLength and extraLength) and never
// runs into DirManager::CentralDirOffset().
class BaseArchiver {
 public:
  explicit BaseArchiver(std::u16string name = {});
  virtual ~BaseArchiver();
  BaseArchiver(const BaseArchiver&) = delete;
  BaseArchiver& operator=(const BaseArchiver&) = delete;

  // The component's name; it prefixes the messages of the archive errors it raises.
  const std::u16string& Name() const { return name_; }
  void SetName(std::u16string value) { name_ = std::move(value); }
  std::u16string_view ComponentName() const { return name_; }

  // --- Lifecycle
  // Opens FileName, choosing the mode: create when the file does not exist (or InMemory),
  // else read-write denying writers, else read-only sharing everything.
  void OpenArchive();
  // Opens FileName with a file mode word (platform/file_mode.h); 0xFF00 creates a new archive.
  void OpenArchive(std::uint16_t mode);
  // Opens the archive held in a caller's stream (not owned), or makes a new one in it.
  void OpenArchive(platform::Stream& stream, bool create);
  // Commits a pending transaction (failures are swallowed) and releases the archive.
  void CloseArchive();

  void BeginUpdate();
  void EndUpdate();
  void CancelUpdate();

  // --- Search (archiver_search.cpp)
  // With the component's FileMasks / ExclusionMasks and Options.SearchAttr.
  bool FindFirst(ArchiveItem& f);
  bool FindFirst(const std::u16string& file_mask, ArchiveItem& f, std::int32_t search_attr,
                 const std::u16string& exclusion_mask);
  bool FindNext(ArchiveItem& f);
  // The item stored under exactly that name (ASCII case-insensitive), else the first item the
  // name finds as a mask; -1 in item_no when none.
  bool FindItemIndex(const std::u16string& file_name, std::int32_t& item_no);

  // --- Properties
  const std::u16string& FileName() const { return file_name_; }
  void SetFileName(std::u16string value) { file_name_ = std::move(value); }
  const std::u16string& BaseDir() const { return base_dir_; }
  void SetBaseDir(std::u16string value) { base_dir_ = std::move(value); }
  const std::u16string& TempDir() const { return temp_dir_; }
  void SetTempDir(std::u16string value) { temp_dir_ = std::move(value); }
  const std::u16string& SFXStub() const { return sfx_stub_; }
  void SetSFXStub(std::u16string value) { sfx_stub_ = std::move(value); }
  const std::string& Password() const { return password_; }
  virtual void SetPassword(std::string value);
  CryptoAlgorithm EncryptionMethod() const { return crypto_algorithm_; }
  void SetEncryptionMethod(CryptoAlgorithm value) { crypto_algorithm_ = value; }
  archive::CompressionLevel CompressionLevel() const { return compression_level_; }
  void SetCompressionLevel(archive::CompressionLevel value);
  std::uint8_t CompressionMode() const { return compression_mode_; }
  // Native error 5 above 9; nothing changes then.
  void SetCompressionMode(std::uint8_t value);
  // ZIP method number for new items (0 stored, 8 deflated; 0xFFFF in the base class).
  std::uint16_t CompressionMethod() const { return compression_method_; }
  archive::CompressionAlgorithm CompressionAlgorithm() const { return compression_algorithm_; }
  bool ExtractCorruptedFiles() const { return extract_corrupted_files_; }
  void SetExtractCorruptedFiles(bool value) { extract_corrupted_files_ = value; }
  bool InMemory() const { return in_memory_; }
  void SetInMemory(bool value);
  archive::SpanningMode SpanningMode() const { return spanning_mode_; }
  // Throws std::runtime_error "Cannot set spanning mode on open archive" while open.
  void SetSpanningMode(archive::SpanningMode value);
  archive::SpanningOptions& SpanningOptions() { return spanning_options_; }
  void SetSpanningOptions(const archive::SpanningOptions& value) { spanning_options_ = value; }
  ArchiveOptions& Options() { return options_; }
  const ArchiveOptions& Options() const { return options_; }
  void SetOptions(const ArchiveOptions& value) { options_ = value; }
  const std::vector<std::u16string>& FileMasks() const { return file_masks_; }
  void SetFileMasks(std::vector<std::u16string> value) { file_masks_ = std::move(value); }
  const std::vector<std::u16string>& ExclusionMasks() const { return exclusion_masks_; }
  void SetExclusionMasks(std::vector<std::u16string> value) {
    exclusion_masks_ = std::move(value);
  }
  const std::vector<std::u16string>& NoCompressionMasks() const { return no_compression_masks_; }
  void SetNoCompressionMasks(std::vector<std::u16string> value) {
    no_compression_masks_ = std::move(value);
  }
  // "5.05 ", whatever the locale; writing discards the value.
  std::u16string CurrentVersion() const;
  void SetCurrentVersion(const std::u16string&) {}
  archive::Zip64Mode Zip64Mode() const { return zip64_mode_; }
  void SetZip64Mode(archive::Zip64Mode value) { zip64_mode_ = value; }
  bool UnicodeFilenames() const { return unicode_filenames_; }
  void SetUnicodeFilenames(bool value) { unicode_filenames_ = value; }

  bool Active() const { return active_; }
  void SetActive(bool value);
  // Whether a file named FileName exists; works while closed.
  bool Exists() const;
  // Open check first.
  std::int64_t Size();
  // Items that are not folders; open check first.
  std::int32_t FileCount();
  bool InUpdate() const { return update_count_ > 0; }
  // The archive comment, bytes as stored; empty while closed.
  std::string Comment() const;
  void SetComment(std::string value);
  bool OpenCorruptedArchives() const { return open_corrupted_archives_; }
  void SetOpenCorruptedArchives(bool value) { open_corrupted_archives_ = value; }
  const archive::VolumeNumberInfo& VolumeNumberInfo() const { return volume_number_info_; }

  // --- State the operations share
  bool IsZipFormat() const { return is_zip_format_; }
  bool IsCustomStream() const { return is_custom_stream_; }
  std::uint16_t FileOpenMode() const { return file_open_mode_; }
  // The directory manager of the open archive; null while closed.
  DirManager* DMHandle() { return dm_handle_.get(); }
  // The open archive's stream; null while closed.
  platform::Stream* CompressedStream() { return compressed_stream_; }

  // --- Events: empty means unassigned. Operations raise them through the dispatchers
  // (DoFileProgress, ...), which supply defaults and built-in prompts; AfterOpen is called
  // directly.
  NotifyEvent AfterOpen;
  FileProgressEvent OnFileProgress;
  ProgressEvent OnOverallProgress;
  CopyTempFileProgressEvent OnCopyTempFileProgress;
  ConfirmOverwriteEvent OnConfirmOverwrite;
  ConfirmProcessFileEvent OnConfirmProcessFile;
  PasswordEvent OnPassword;
  ProcessFileFailureEvent OnProcessFileFailure;
  RequestBlankVolumeEvent OnRequestBlankVolume;
  RequestFirstVolumeEvent OnRequestFirstVolume;
  RequestLastVolumeEvent OnRequestLastVolume;
  RequestMiddleVolumeEvent OnRequestMiddleVolume;
  DiskFullEvent OnDiskFull;
  ProcessVolumeFailureEvent OnProcessVolumeFailure;
  StoreFileEvent OnStoreFile;
  ExtractFileEvent OnExtractFile;

 protected:
  // Sets the ZIP method for new items from CompressionMode; the base class knows none.
  virtual void UpdateCompressionMethod();

  // Guard checks shared by the operations (ArchiveError with this component's name).
  void CheckOpen() const;                // native 13: no archive is open
  void CheckNoUpdate() const;            // native 26: inside BeginUpdate / EndUpdate
  void CheckVolumeModification() const;  // native 52: a multi-volume archive outside an update

  // Writes the in-memory directory back to the archive (archiver_update.cpp).
  // `recreate_end` rebuilds the end records from scratch.
  void WriteDirectory(bool recreate_end);
  // Commits the pending transaction and resets the update count (archiver_update.cpp).
  void CommitUpdate();

  bool is_zip_format_ = false;
  std::uint16_t compression_method_ = 0xFFFF;

 private:
  std::uint16_t ChooseOpenMode() const;
  void OpenFileArchive();
  void CreateNewArchive();
  void ReleaseArchive();
  // One search step from f.Handle.ItemNo.
  bool FindFrom(ArchiveItem& f);

  std::u16string name_;
  bool active_ = false;
  bool is_custom_stream_ = false;
  std::u16string file_name_;
  std::u16string volume_file_name_;
  archive::VolumeNumberInfo volume_number_info_;
  std::uint16_t file_open_mode_ = 0;
  // The archive stream: owned_stream_ unless the caller supplied it.
  std::unique_ptr<platform::Stream> owned_stream_;
  platform::Stream* compressed_stream_ = nullptr;
  std::unique_ptr<DirManager> dm_handle_;
  std::int32_t update_count_ = 0;
  bool updated_ = false;
  std::u16string current_dir_;
  std::u16string temp_dir_;
  std::u16string base_dir_;
  std::u16string sfx_stub_;
  ArchiveOptions options_;
  archive::SpanningOptions spanning_options_;
  std::vector<std::u16string> file_masks_;
  std::vector<std::u16string> exclusion_masks_;
  std::vector<std::u16string> no_compression_masks_;
  bool in_memory_ = false;
  bool extract_corrupted_files_ = false;
  bool open_corrupted_archives_ = true;
  bool unicode_filenames_ = false;
  archive::SpanningMode spanning_mode_ = archive::SpanningMode::smNone;
  archive::CompressionLevel compression_level_ = archive::CompressionLevel::clFastest;
  std::uint8_t compression_mode_ = 1;
  archive::CompressionAlgorithm compression_algorithm_ = archive::CompressionAlgorithm::caZLIB;
  CryptoAlgorithm crypto_algorithm_ = CryptoAlgorithm::caPkzipClassic;
  std::string password_;
  archive::Zip64Mode zip64_mode_ = archive::Zip64Mode::zmAuto;
  // Progress state of the operation in progress; the processing loop owns these.
  bool suppress_password_event_ = false;
  std::int32_t processed_file_no_ = 0;
  std::int32_t processed_file_count_ = 0;
  std::int64_t processed_files_total_size_ = 0;
  std::int64_t processed_files_size_ = 0;
  std::int64_t progress_ = 0;
  std::int64_t progress_max_ = 0;
  bool progress_cancel_ = false;
  bool progress_enabled_ = false;
  bool skip_file_ = false;
  bool no_progress_ = false;
};

}  // namespace qm::archive
