#pragma once

#include <compare>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_error.h"
#include "archive/archive_events.h"
#include "archive/archive_item.h"
#include "archive/archive_options.h"
#include "archive/archive_types.h"
#include "archive/volume_number_info.h"
#include "platform/platform.h"
#include "platform/stream.h"

namespace qm::platform {
struct DirEntry;
class FileStream;
}  // namespace qm::platform

namespace qm::archive {

class DirArray;
struct DirItem;
class DirManager;
class ItemLookahead;
struct ProcessingRun;
struct DirSettings;
struct VolumeNaming;
class VolumeChain;
struct RecordSettings;
struct CommitPlan;
struct PlannedEntry;
class TailFile;
struct WholeSource;

// The archive component: holds the settings of one archive, opens and closes it (a file, a
// memory buffer or a caller's stream), counts update transactions and offers the operations
// on its items. One instance works on at most one archive at a time and is used by one thread
// at a time.
//
// Member definitions are spread over one source file per concern:
//   component/base_archiver.cpp    construction, properties and guard checks
//   component/open.cpp             opening and closing
//   component/update.cpp           update transactions
//   component/commit.cpp           the commit, its tail file and rollback
//   component/record_writing.cpp   one new item record
//   component/search.cpp           FindFirst / FindNext / FindItemIndex / FileCount
//   component/events.cpp           the event dispatchers and the built-in prompts
//   component/item_decoding.cpp    one item's reading path, assembled from the stages in data/
//   component/item_encoding.cpp    one item's writing path (the writing stages of data/)
//   component/processing_loop.cpp  the per-item processing loop that runs the steps below
//   component/extract.cpp          extraction to files
//   component/memory.cpp           extraction to streams, buffers and strings
//   component/verify.cpp           testing items, password and archive checks
//   component/add.cpp              adding files from disk and items from streams
//   component/maintenance.cpp      delete, update, rename, attributes and comments
//   component/repair.cpp           salvaging a damaged archive into a new one
//   component/merge.cpp            merging another archive's records, appending files
//   component/volumes.cpp          volume names, opening volumes, creating and opening files
//   component/volume_commit.cpp    writing a new multi-volume set
//   component/sfx.cpp              making a self-extractor
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

  // --- Search (component/search.cpp)
  // With the component's FileMasks / ExclusionMasks and Options.SearchAttr.
  bool FindFirst(ArchiveItem& f);
  bool FindFirst(const std::u16string& file_mask, ArchiveItem& f, std::int32_t search_attr,
                 const std::u16string& exclusion_mask);
  bool FindNext(ArchiveItem& f);
  // The item stored under exactly that name (ASCII case-insensitive), else the first item the
  // name finds as a mask; -1 in item_no when none.
  bool FindItemIndex(const std::u16string& file_name, std::int32_t& item_no);

  // --- Extraction to files (component/extract.cpp)
  // Both forms make the open check (`kArchiveNotOpen`) and the no-update check (`kUpdateNotEnded`)
  // first. Whatever happens to single items (declined, kept, skipped at the password prompt, failed
  // and ignored, aborted, cancelled), they return normally; ask LastRunComplete() afterwards. Only
  // exceptions that are not ArchiveError (stream read errors, out of memory) escape.
  //
  // Nothing is written outside the destination folder (BaseDir, else the current directory):
  // an item whose name climbs out with "..", or is absolute, a drive or a server name, fails
  // with `kPathOutsideBase` through OnProcessFileFailure, unless
  // Options().AllowPathsOutsideBaseDir is set.
  void ExtractFiles();
  void ExtractFiles(const std::u16string& file_mask, std::int32_t search_attr,
                    const std::u16string& exclusion_mask);

  // --- Extraction to memory (component/memory.cpp). A name with wildcards selects the first
  // matching item. `kMemoryItemNotFound` when nothing matches, `kItemDataDamaged` when the item is
  // damaged (unless ExtractCorruptedFiles); no failure event: every exception reaches the caller.
  // Appends the whole item at the stream's current position, with progress events.
  void ExtractToStream(const std::u16string& file_name, platform::Stream& stream);
  // Copies `count` bytes of the item from `start_position` into `buffer`. Only the part of the
  // item up to the window is decoded, and unchecked; count 0 decodes and verifies the whole
  // item and copies nothing. platform::ReadError when the item is shorter than the window.
  void ExtractToBuffer(const std::u16string& file_name, void* buffer, std::int32_t count,
                       std::int64_t start_position);
  // The whole item, verified, read as ANSI (Windows-1252) text.
  void ExtractToString(const std::u16string& file_name, std::u16string& text);

  // --- Testing (component/verify.cpp)
  // Decodes the chosen items without keeping them, through the processing loop: damaged items
  // reach OnProcessFileFailure as during extraction.
  void TestFiles();
  void TestFiles(const std::u16string& file_mask, std::int32_t search_attr,
                 const std::u16string& exclusion_mask);
  // True for an unencrypted item; for an encrypted one, whether `password` opens it (never
  // asks). `kTestItemNotFound` when no item matches.
  bool IsFilePasswordValid(const std::u16string& file_name, const std::string& password);
  // True while an archive is open, or when the file named by FileName has an end record, or
  // when a directory rebuilt from its local headers holds items that all test intact. Works
  // on a closed component and leaves it as it was.
  bool IsValidArchiveFile();

  // --- Summary of the last processing loop (ExtractFiles, TestFiles, DeleteFiles,
  // UpdateFiles; for the last two an entry counts as done once its change is committed, an
  // update passed over by the rules as kept)
  // Items handled so far / items tagged for the run (1 for a single named item).
  std::int32_t ProcessedFileNo() const { return processed_file_no_; }
  std::int32_t ProcessedFileCount() const { return processed_file_count_; }
  // Tagged items of the last run that were not extracted (or tested) in full: declined by
  // OnConfirmProcessFile, an existing file kept (overwrite mode, read-only file), skipped at
  // the password prompt, failed and ignored, damaged but kept by ExtractCorruptedFiles, or
  // never reached because the run was aborted or cancelled.
  std::int32_t IncompleteFileCount() const;
  // Of those, the items passed over by decision rather than by failure: declined by
  // OnConfirmProcessFile, or an existing file kept (overwrite mode or answer, read-only file).
  std::int32_t KeptFileCount() const;
  // True only when every tagged item of the last run was written (or tested) in full. A
  // caller that must not lose data (first-run unpacking) checks this after ExtractFiles.
  bool LastRunComplete() const;
  // The last run was cancelled from a progress event.
  bool ProgressCancelled() const { return progress_cancel_; }

  // --- Adding (component/add.cpp) -------------------------------------------------------
  // Each opens an update transaction, makes or replaces entries (Modified, poAdd / poUpdate,
  // poMove for MoveFiles) and ends it: the outermost EndUpdate commits, reading the sources
  // only then. Open check (`kArchiveNotOpen`) first; volume-modification check
  // (`kSpannedModification`) for all but MoveFiles with arguments. An exception cancels the
  // transaction and travels on. The forms without arguments walk every line of FileMasks with
  // Options().SearchAttr and leave out ExclusionMasks. The archive file itself is never added.
  // Options().Recurse walks subfolders; with the folder bit in the attribute filter, matching
  // folders become entries and are walked. Symbolic links to folders are passed over (no loops); a
  // link to a file stores the file it points to.
  void AddFiles();
  void AddFiles(const std::u16string& file_mask, std::int32_t search_attr,
                const std::u16string& exclusion_mask);
  void MoveFiles();
  void MoveFiles(const std::u16string& file_mask, std::int32_t search_attr,
                 const std::u16string& exclusion_mask);
  // One item from a caller's stream, which must stay alive until the commit. With
  // copy_to_buffer the item holds a copy of `count` bytes from `position` (count 0: the whole
  // stream); without it the whole stream is stored. date_time 0 means now. An entry of the
  // same name is replaced or kept by Options().OverwriteMode.
  void AddFromStream(const std::u16string& file_name, platform::Stream& stream, bool copy_to_buffer,
                     std::int64_t position, std::int64_t count, std::int32_t attributes,
                     std::time_t date_time);
  void AddFromBuffer(const std::u16string& file_name, const void* buffer, std::int32_t count,
                     std::int32_t attributes, std::time_t date_time);
  // The text is stored in the ANSI code page (Windows-1252), without a byte-order mark.
  void AddFromString(const std::u16string& file_name, const std::u16string& text,
                     std::int32_t attributes, std::time_t date_time);
  // --- End of adding --------------------------------------------------------------------

  // --- Maintenance (component/maintenance.cpp, component/repair.cpp, component/merge.cpp)
  // Each changing operation works inside an update transaction of its own (the outermost
  // EndUpdate commits; inside a caller's transaction the changes wait for its EndUpdate). An
  // exception cancels the transaction and travels on. Entries keep the mark of the first
  // change of the transaction (Modified, Operation); a rename turns poChangeAttr and
  // poChangeComment into poRename, and OldName keeps the name the record has in the file.
  //
  // Removes the entries chosen by FileMasks / ExclusionMasks and Options().SearchAttr, or by
  // the arguments, through the processing loop (OnConfirmProcessFile may keep one). No match
  // is no error. Open check (13); volume-modification check (`kSpannedModification`).
  void DeleteFiles();
  void DeleteFiles(const std::u16string& file_mask, std::int32_t search_attr,
                   const std::u16string& exclusion_mask);
  // Replaces the chosen entries by their disk files below BaseDir (else the current
  // directory), as Options().OverwriteMode and ReplaceReadOnly (the entry's stored read-only
  // bit) allow; entries without a disk file and folders stay as they are.
  void UpdateFiles();
  void UpdateFiles(const std::u16string& file_mask, std::int32_t search_attr,
                   const std::u16string& exclusion_mask);
  // Renames the entry `old_name` finds; a folder takes the entries below it along (with
  // Options().Recurse, the whole tree). Only the matching part of each name changes: the
  // whole name, its last component, or the renamed folder's path in front of a member's
  // name. `kRenameSourceNotFound` when nothing is found. The data is carried over untouched.
  void RenameFile(const std::u16string& old_name, const std::u16string& new_name);
  // Directory fields of every entry the mask finds (search attributes 0x28BF); the records
  // are carried over as they are. externalAttr keeps the folder bit of a folder; internalAttr
  // takes the low 16 bits. `kMaskMatchesNothing` (`kNothingFound` for the internal attributes) when
  // nothing is found.
  void ChangeFilesAttr(const std::u16string& file_mask, std::uint32_t new_attr);
  void ChangeFilesIntAttr(const std::u16string& file_mask, std::uint32_t new_attr);
  void ChangeFilesComment(const std::u16string& file_mask, const std::string& new_comment);
  // Salvages what can be read of the archive named by FileName (the component must be closed,
  // `kArchiveIsOpen`) into a new archive `output_file_name`. Every file entry whose data decodes
  // and verifies is stored again under its name with its time, attributes and comment, compressed
  // and encrypted with this component's settings; entries that do not verify are left out
  // (RepairSkippedCount()), folders come along as folder entries, the archive comment too.
  // Without an output name FileName itself is replaced by the repaired archive, in one step,
  // once it is complete. `kCannotCreateOutput` when the output (or, without one, FileName) cannot
  // be written; `kOutputIsInput` when the output is the archive itself (by identity: links and
  // other spellings included). The archive is never changed but by that final replacement, and an
  // output that stands already is replaced only by a whole result.
  void RepairArchive(const std::u16string& output_file_name);
  // Entries of the last RepairArchive: stored again / left out because they did not verify.
  std::int32_t RepairedFileCount() const { return repaired_file_count_; }
  std::int32_t RepairSkippedCount() const { return repair_skipped_count_; }
  // Appends `in` (from its start) to the end of `out` in 1 MiB pieces, with poMakeSFX
  // progress events (start, one per piece, end). True only when all of it was copied; a short read
  // or write, or a cancel from a progress event, answers false.
  bool FastFileAppend(platform::Stream& out, platform::Stream& in, const std::u16string& file_name);
  // --- End of maintenance ---------------------------------------------------------------

  // --- Self-extractors (component/sfx.cpp)
  // Writes `sfx_file_name`: the program SFXStub followed by the archive named by FileName (the
  // open one, or the file), every offset counted from the new file's first byte; any file of
  // that name is replaced. A pending transaction is committed first; the archive itself is not
  // changed. `kNoSfxStub` when SFXStub is empty, `kSfxStubNotFound` when it names no file,
  // `kMakeSfxOnVolumes` for a multi-volume archive, 50 when the archive already has a stub, 56 when
  // the copy fails, 75 when `sfx_file_name` is the archive or the stub itself (by identity). The
  // new file is made beside its name and takes it only once complete: a failure leaves any file of
  // that name as it was.
  void MakeSFX(const std::u16string& sfx_file_name);

  // --- Encoding (component/item_encoding.cpp) ------------------------------------------
  // Appends the stored form of all of `source` (read from position 0) at `destination`'s
  // position: stored or deflated by item.CompressionMode, encrypted when item.Password is set
  // (EncryptionMethod picks the cipher). Fills item's crc32, sizes (0xFFFFFFFF with the value
  // in Zip64ExtInfo and bHugeFile where Zip64 is needed or zmAlways), compMethod (99 for AES),
  // CompressionMethod (0 for an empty source) and EncryptionAlgorithm. False when the user
  // cancelled (progress or a refused write). `kCompressedSizeMismatch` when the source gave fewer
  // bytes than its size (or an encrypted source changed between its two reads), 41 when the item
  // needs Zip64 under zmDisabled, CompressionError when zlib fails. `ready`: `source` compressed
  // ahead of its turn (data/write/whole_source.h), used where it fits.
  bool EncodeItem(platform::Stream& destination, platform::Stream& source, DirItem& item,
                  WholeSource* ready = nullptr);
  // --- End of encoding ------------------------------------------------------------------

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
  // `kCompressionLevel` above 9; nothing changes then.
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
  void SetExclusionMasks(std::vector<std::u16string> value) { exclusion_masks_ = std::move(value); }
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
  DirManager* DMHandle() { return dir_manager_.get(); }
  // The open archive's stream; null while closed.
  platform::Stream* CompressedStream() { return archive_stream_; }

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

  // --- Event dispatchers (component/events.cpp). Operations raise events only through these;
  // each supplies the default or the built-in prompt (through CurrentPrompter()) when no
  // handler is assigned. Volume numbers are internal here (from 0); handlers see them plus 1.
  virtual void DoOverallProgress(double progress, ProcessOperation operation, ProgressPhase phase,
                                 bool& cancel);
  virtual void DoFileProgress(const std::u16string& file_name, double progress,
                              ProcessOperation operation, ProgressPhase phase, bool& cancel);
  virtual void DoCopyTempFileProgress(double progress, ProgressPhase phase, bool& cancel);
  virtual void DoConfirmOverwrite(const std::u16string& source_file_name,
                                  std::u16string& dest_file_name, bool& confirm);
  // Whether an existing file or entry gives way to an incoming one, as Options().OverwriteMode
  // says: omPrompt asks (DoConfirmOverwrite, whose handler may change `dest_file_name`);
  // omIfNewer and omIfOlder compare the times, asking `incoming_vs_existing` only then.
  bool OverwriteAllowed(const std::u16string& source_file_name, std::u16string& dest_file_name,
                        const std::function<std::strong_ordering()>& incoming_vs_existing);
  virtual void DoConfirmProcessFile(const std::u16string& file_name, ProcessOperation operation,
                                    bool& confirm);
  virtual void DoPassword(const std::u16string& file_name, std::string& new_password,
                          bool& skip_file);
  virtual void DoProcessFileFailure(const std::u16string& file_name, ProcessOperation operation,
                                    int native_error, int error_code,
                                    const std::u16string& error_message, Action& action);
  virtual void DoRequestBlankVolume(int volume_number, std::u16string& volume_file_name,
                                    bool& cancel);
  virtual void DoRequestFirstVolume(std::u16string& volume_file_name, bool& cancel);
  virtual void DoRequestLastVolume(std::u16string& volume_file_name, bool& cancel);
  virtual void DoRequestMiddleVolume(int volume_number, std::u16string& volume_file_name,
                                     bool& cancel);
  virtual void DoDiskFull(int volume_number, const std::u16string& volume_file_name, bool& cancel);
  virtual void DoProcessVolumeFailure(ProcessOperation operation, int volume_number,
                                      const std::u16string& volume_file_name, bool& cancel);
  virtual void DoStoreFile(std::u16string& file_name, std::int32_t& file_attr, std::string& comment,
                           const std::u16string& original_file_name);
  virtual void DoExtractFile(std::u16string& file_name, std::uint32_t& file_attr,
                             const std::string& comment);

  // --- Item coding (component/item_decoding.cpp)
  // Decodes the item whose local header `archive` is positioned at into `out`. Count 0: the
  // whole item, size and CRC checked. Count above 0: only enough to cover the window
  // [start_position, start_position + count), unchecked, `out` positioned at the window's
  // first byte. False for damaged data, an unknown method, a wrong size or CRC, a cancel, or
  // an item skipped at the password prompt (skip_file_ set). `kDeflate64` for Deflate64.
  // `lookahead`: the loop's reading ahead, whose worker may have inflated the item already.
  bool DecodeItem(platform::Stream& archive, platform::Stream& out, std::int64_t start_position,
                  std::int32_t count, const DirItem& item, ItemLookahead* lookahead = nullptr);
  // Reading ahead for the extract and test loop over all tagged items (index -1), when the
  // archive is one file of the engine's own; nullptr otherwise.
  std::unique_ptr<ItemLookahead> MakeLookahead(ProcessOperation operation, std::int32_t index);

  // --- Adding's steps (component/add.cpp)
  // Walks the masks from the resolved BaseDir under the archive lock.
  void AddFilesFromMasks(const std::vector<std::u16string>& masks, std::uint32_t search_attr,
                         std::vector<std::u16string> exclusions, bool is_move, bool recurse);
  // One file or folder the walk found: confirmation, entry, no-compression masks, size.
  void AddDiskFile(const std::u16string& full_path, const std::u16string& root,
                   const platform::DirEntry& entry, bool is_move);
  // The entry for a source: a new one at the end, or the existing one of that name when the
  // overwrite mode lets it be replaced; -1 when the existing one is kept (or no name is left).
  // A disk source found by the walk comes with its `listed` entry (attributes, time, whether it
  // is a folder), so that it is not asked of the disk again; `root` is then already resolved.
  std::int32_t AddItemEntry(const std::u16string& source_name, const std::u16string& root,
                            std::time_t date_time, std::int32_t attributes, bool from_disk,
                            const platform::DirEntry* listed = nullptr);
  // The entry of `dir` that an incoming item named `name` replaces (adding, merging): where
  // the platform's file names are case-sensitive only one of exactly that name, for a.txt and
  // A.txt are two files there; elsewhere ASCII letters compared without case.
  static bool FindReplaceable(DirArray& dir, std::u16string_view name, std::int32_t& index);
  // Fills entry `index` from its source: name, times, attributes, method, password, flags.
  void InitItemEntry(std::int32_t index, const std::u16string& source_name, std::time_t date_time,
                     std::int32_t attributes, bool from_disk,
                     const platform::DirEntry* listed = nullptr);
  void AddStreamItem(const std::u16string& file_name, std::shared_ptr<platform::Stream> stream,
                     std::time_t date_time, std::int32_t attributes, std::int64_t count,
                     std::int64_t position, bool owns_stream, bool copy_to_buffer);

  // --- Volumes (component/volumes.cpp, component/volume_commit.cpp) ------------------------
  // A set's volumes are named by SpanningMode and SpanningOptions().AdvancedNaming() (see
  // volumes/volume_names.h); the archive stream is the volume being written, or, reading a
  // set, the volumes read as one stream (volumes/volume_chain.h).
  VolumeNaming CurrentNaming() const;
  // The name of volume `number` (kLastVolume: the last) of the archive `name`. Reading, the
  // other naming scheme is taken when `try_alternative` is set (spanning) and only it names a
  // file, and an extension of the other case when only that names one.
  std::u16string MakeVolumeName(const std::u16string& name, std::int32_t number,
                                bool try_alternative) const;
  // Free bytes on the disk that holds `name` (a disk that cannot tell counts as roomy).
  std::int64_t DiskFreeSpace(const std::u16string& name) const;
  // A file stream on `name` with FileOpenMode becomes the current volume.
  void OpenVolumeFile(const std::u16string& name);
  // Makes the volume `info` names the current one: created (after the blank-volume request and
  // the free-space test) while a new archive is being made, else requested and opened. Native
  // 45 when a request is cancelled.
  void OpenVolume(const archive::VolumeNumberInfo& info);
  // The first volume of a new archive (or a memory stream) and a directory manager in create
  // mode, with the SFXStub placed in front (`kSfxStubTooLarge` when the first volume cannot hold
  // it).
  void CreateArchiveFile();
  // Opens FileName as a single file, a split or spanned set or a self-extractor and loads
  // its directory; `kArchiveDamaged` when no end record is found and damaged archives are refused.
  void OpenArchiveFile();
  // The open steps; true when an end record was found.
  bool OpenSingleOrSpanned();
  bool OpenExeArchive();
  // SpanningMode (and maybe AdvancedNaming) from the end record just searched for.
  void DetectSpanningMode(bool found);
  // The stream to read `item` from: the archive stream, or for a set the volumes from the
  // item's own on, read as one stream.
  platform::Stream& ItemStream(const DirItem& item);
  // The commit of a new set (component/volume_commit.cpp): every record into the volumes, the
  // directory at the end of the last one, renamed after the archive. `kSpannedModification` for a
  // set that was opened rather than created. Whatever fails, nothing of the set is left and the
  // archive is closed.
  void CommitToVolumes(ProcessOperation op);
  // --- End of volumes ---------------------------------------------------------------------

  // --- The processing loop (component/processing_loop.cpp) and its steps
  // What one step did with its item; failures are ArchiveError exceptions instead, offered to
  // OnProcessFileFailure.
  enum class ItemOutcome {
    kCompleted,  // done in full
    kKept,       // passed over by decision: declined, or an existing file kept
    kSkipped,    // not done in full: skipped at the password prompt, cancelled, damaged but
                 // kept by ExtractCorruptedFiles, or nothing to do
  };
  // Clears every Tagged mark, then tags what FindFirst / FindNext find.
  void TagItems();
  void TagItems(const std::u16string& file_mask, std::int32_t search_attr,
                const std::u16string& exclusion_mask);
  // Runs the step of `operation` on every tagged item (index -1) or on item `index`.
  void ProcessTaggedItems(ProcessOperation operation, std::int32_t index);
  // One tagged item of the loop: its confirmation, progress and step, retried as the failure
  // event answers. Answers that last answer; `removed` when the step took the item out.
  Action ProcessTaggedItem(ProcessOperation operation, std::int32_t index, bool reports,
                           bool& removed);
  // The step of `operation` for item `index`; `name` as callers see it.
  ItemOutcome RunItemStep(ProcessOperation operation, std::int32_t index,
                          const std::u16string& name, const std::u16string& base_dir);
  // The steps (component/extract.cpp, component/verify.cpp, component/processing_loop.cpp).
  ItemOutcome ExtractItemToFile(std::int32_t index, std::u16string name,
                                const std::u16string& base_dir);
  // Whether the folder of `dest` has no link on the way from `root` (none asked for without a
  // root); the answer for a folder found free is kept for the items that follow.
  bool FolderFreeOfLinks(const std::u16string& root, const std::u16string& dest);
  // The folder of `dest`, opened for the files made in it (and held for the items that
  // follow); null when it cannot be opened.
  platform::Folder* DestinationFolder(const std::u16string& dest);
  // True when the item was decoded and verified (or its window decoded); false when it was
  // cancelled, skipped, or damaged and ExtractCorruptedFiles is set. `kItemDataDamaged` otherwise.
  bool ExtractItemToStream(std::int32_t index, platform::Stream& stream,
                           std::int64_t start_position, std::int32_t count);
  ItemOutcome TestItem(std::int32_t index, const std::u16string& name);
  ItemOutcome DeleteItemAt(std::int32_t index);

  // Guard checks shared by the operations (ArchiveError with this component's name).
  void CheckOpen() const;      // `kArchiveNotOpen`: no archive is open
  void CheckNoUpdate() const;  // `kUpdateNotEnded`: inside BeginUpdate / EndUpdate
  void CheckVolumeModification()
      const;  // `kSpannedModification`: a multi-volume archive outside an update

  // --- Maintenance's steps (component/maintenance.cpp, component/merge.cpp) ----------------
  // The poUpdate step of the processing loop: replaces entry `index` by the disk file
  // base + name when the options let it. `kProcessIndex` for a bad index, `kUpdateNotStarted`
  // outside a transaction.
  ItemOutcome UpdateItemIfNeeded(std::int32_t index, const std::u16string& name,
                                 const std::u16string& base);
  // Appends every record of `other` (open, read-only) to this archive and merges its
  // directory (ZipArchiver::MergeWith). The archive is rewritten as a commit rewrites it (the
  // old directory kept in a tail file until the new one is on the medium, or the merged
  // archive written beside and renamed over it), and a failed, short or cancelled copy puts
  // the file back byte for byte. `kUpdateNotEnded` inside a transaction,
  // 70 when `other` is this very archive file.
  void MergeFrom(BaseArchiver& other, const std::u16string& archive_file_name);
  // --- End of maintenance's steps -------------------------------------------------------

  // --- The commit and its transaction machinery (component/commit.cpp,
  // component/record_writing.cpp) -------------------------------------------------------
  // Writes the in-memory directory back to the archive; `recreate_end` writes it at the end
  // of the stream, else over the directory that stands there.
  void WriteDirectory(bool recreate_end);
  // Commits the pending transaction and resets the update count. The archive is rewritten in
  // place from the lowest old record that moves or changes (writing/commit_plan.h), whatever
  // the directory's order: what follows the cut is kept in a tail file (beside an
  // archive file, flushed before the cut, deleted once the new directory is on the medium),
  // new records are written and old ones copied back, then the directory. Any failure puts
  // the archive back byte for byte and the directory in memory as BeginUpdate found it.
  void CommitUpdate();
  // Undoes an unfinished commit: the directory from the rollback copy, the archive from the
  // tail file (or cut back where no tail was needed).
  void RollBackUpdate();
  // Writes entry `index`'s new record (header, name, blocks, encoded data) at the archive's
  // position. False when the entry's failure was ignored, aborted (commit_action_) or the user
  // cancelled (progress_cancel_).
  bool WriteItemRecord(std::int32_t index);
  // Whether the file `status` describes is this archive's own file (or its open volume).
  bool IsArchiveFile(const std::optional<platform::FileStatus>& status) const;
  // A new empty file for temporary data: "FC..." in TempDir, else the system's folder.
  std::u16string MakeTempFileName() const;
  RecordSettings MakeRecordSettings() const;
  // --- End of the commit section ---------------------------------------------------------

  bool is_zip_format_ = false;
  std::uint16_t compression_method_ = 0xFFFF;

 private:
  // Commit state (component/commit.cpp).
  std::unique_ptr<TailFile> tail_file_;
  std::int64_t commit_cut_ = 0;
  Action commit_action_ = Action::fxaIgnore;
  // Where the commit of `plan` cuts the archive: the plan's cut, or where the old directory
  // starts when the plan only appends.
  std::int64_t CommitCut(const CommitPlan& plan);
  void SaveTail(std::int64_t cut);
  // Writes the records of `entries` (writing/commit_plan.h) in turn at the archive stream's
  // position; old records are read from `old_records`, whose byte 0 is the old archive's byte
  // `old_base`. False when aborted or cancelled.
  bool RunEntryLoop(std::vector<PlannedEntry> entries, platform::Stream* old_records,
                    std::int64_t old_base);
  // Writes what follows the cut at the archive stream's position; the old records after the
  // cut are read from `old_records`, whose byte 0 is the old archive's byte `old_base`. False
  // when aborted, cancelled or short.
  using RecordsWriter = std::function<bool(platform::Stream* old_records, std::int64_t old_base)>;
  // The closing sequence of every change to the file (a commit, a merge): the archive is cut
  // where `find_cut` says, kept in the tail file from there, `write_records` writes what follows
  // the cut, then the directory is written, the archive flushed and the tail dropped. A failure
  // or a stop puts file and directory (from the rollback copy) back; false for a stop. Where
  // the folder cannot hold the tail file, CommitBeside.
  bool RewriteFrom(const std::function<std::int64_t()>& find_cut,
                   const RecordsWriter& write_records);
  // The rewrite without a tail file: the new archive written to a file beside the old one and
  // renamed over it. False when aborted or cancelled (nothing changed then).
  bool CommitBeside(const RecordsWriter& write_records);
  // After the new archive is whole: marks cleared, moved sources deleted, the end event.
  void FinishCommit(ProcessOperation op);
  // Deletes the sources this commit moved (entries Modified with poMove): a file only while it
  // is as it was read (`kSourceChanged` otherwise), a folder with the empty folders below it
  // (`kCannotDeleteFolder` when it stays). Each failure goes to the failure event.
  void DeleteMovedSources();
  // What the stages of an item's data path tell the component (component/item_decoding.cpp).
  class DataEvents;

  // Volumes (component/volumes.cpp, component/volume_commit.cpp).
  class VolumeWriting;
  // Records are written into volumes (a file archive with a SpanningMode).
  bool WritesVolumes() const;
  // The volumes from `first` to `last` as one stream, which becomes the archive stream.
  platform::Stream& VolumeStream(std::int32_t first, std::int32_t last);
  // The last volume of the end record's search: opened, a directory manager made on it.
  bool FindEndOnOpenVolume();
  // Copies a record made in `record` into the volumes and gives `item` its volume and offset.
  void CopyRecordToVolumes(platform::Stream& record, std::int64_t head_length, DirItem& item,
                           bool zip64_offset);
  void WriteDirectoryToVolumes();
  // The temporary file a set's record is made in (one per commit), emptied.
  platform::Stream& VolumeRecordFile();
  std::unique_ptr<platform::Stream> volume_record_file_;
  std::u16string volume_record_path_;
  void DropVolumeRecordFile();
  void RenameLastVolume();
  // `kVolumeNameClash` when a new split volume named `name` would be lost to another volume of the
  // set.
  void RefuseVolumeClash(const std::u16string& name) const;
  // Deletes the volumes made so far and closes the archive.
  void DiscardVolumes();
  std::unique_ptr<VolumeChain> volume_chain_;
  std::int32_t volume_chain_last_ = -1;
  // The volume files made for the set being written.
  std::vector<std::u16string> created_volumes_;

  std::uint16_t ChooseOpenMode() const;
  void ReleaseArchive();
  // What the directory manager is told of this component when an archive is opened.
  DirSettings MakeDirSettings() const;
  // One search step from f.Handle.ItemNo.
  bool FindFrom(ArchiveItem& f);

  // Maintenance (component/maintenance.cpp, component/merge.cpp, component/repair.cpp).
  // Runs `change` between BeginUpdate and EndUpdate; an exception cancels the transaction.
  void InTransaction(const std::function<void()>& change);
  // The processing loop over the tagged entries inside a transaction of its own, leaving the
  // loop's counts for the summary.
  void ProcessInTransaction(ProcessOperation operation);
  std::int32_t loop_file_no_ = 0;
  std::int32_t loop_file_count_ = 0;
  // Gives entry `index` the name `renamed` and marks it renamed.
  void RenameEntry(std::int32_t index, const std::u16string& renamed);
  // Applies `change` to every entry the mask finds; `not_found` when none.
  void ChangeEntries(const std::u16string& file_mask, ErrorSite not_found, ProcessOperation mark,
                     const std::function<void(DirItem&)>& change);
  // Copies `count` bytes from `in`'s position to `out`'s in 1 MiB pieces, with progress
  // events under `operation`. False for a short read or write or a cancel.
  bool CopyBlocks(platform::Stream& out, platform::Stream& in, std::int64_t count,
                  const std::u16string& file_name, ProcessOperation operation);
  // Stores every entry of the open archive that verifies in `target` (only those whose names
  // it lacks, with `only_missing`); answers how many file entries it looked at.
  // Stores the entries of this archive that decode in `target`, their data decoded into
  // `spool` on the way; answers how many file entries there were.
  std::int32_t CopyRepairedEntries(BaseArchiver& target,
                                   const std::shared_ptr<platform::Stream>& spool,
                                   bool only_missing);
  // Commits what CopyRepairedEntries added to `target` since the last batch.
  static void CommitRepairedBatch(BaseArchiver& target);
  bool DirectoryWasRebuilt() const;
  static std::int32_t StoredFileCount(BaseArchiver& archiver);
  std::int32_t repaired_file_count_ = 0;
  std::int32_t repair_skipped_count_ = 0;

  // The component as the events of the writing stages (component/item_encoding.cpp).
  class EncodingEvents;
  // The sources of the items ahead read and compressed during a commit on more than one
  // processor (component/encode_ahead.cpp); null otherwise.
  class EncodeAhead;
  EncodeAhead* encode_ahead_ = nullptr;
  // An item's source file, opened for reading with the archive's share mode.
  std::unique_ptr<platform::FileStream> OpenSource(const DirItem& item) const;
  // The component as the target of the disk walk (component/add.cpp).
  class AddingTarget;
  void AddOrMoveFiles(const std::vector<std::u16string>& masks, std::int32_t search_attr,
                      const std::u16string& exclusion_mask, bool is_move, bool from_properties);
  static std::shared_ptr<platform::Stream> CopyOfStream(platform::Stream& source,
                                                        std::int64_t position, std::int64_t count);

  std::u16string name_;
  bool active_ = false;
  bool is_custom_stream_ = false;
  std::u16string file_name_;
  std::u16string volume_file_name_;
  archive::VolumeNumberInfo volume_number_info_;
  std::uint16_t file_open_mode_ = 0;
  // The archive stream: owned_stream_ unless the caller supplied it.
  std::unique_ptr<platform::Stream> owned_stream_;
  platform::Stream* archive_stream_ = nullptr;
  std::unique_ptr<DirManager> dir_manager_;
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
  bool progress_cancel_ = false;
  bool progress_enabled_ = false;
  bool skip_file_ = false;
  bool no_progress_ = false;
  // The running (or last) processing loop's own state (component/processing_run.h).
  std::unique_ptr<ProcessingRun> run_;
};

}  // namespace qm::archive
