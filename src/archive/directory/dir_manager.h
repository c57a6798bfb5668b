#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "archive/archive_types.h"
#include "archive/directory/dir_array.h"
#include "archive/format/records.h"
#include "platform/stream.h"

namespace qm::archive {

class SignatureScanner;

// One central directory entry as SaveDir writes it (fixed part, name, a fresh Zip64 block,
// the other blocks, the comment); updates the entry's lengths and flag bit 11.
void EncodeCentralEntry(DirItem& item, bool oem_file_names, ByteWriter& out);

// Moves an entry's local-header offset by `delta` bytes (its records were copied elsewhere);
// the offset goes in Zip64 form when it held the escape before or does not fit 32 bits now.
void MoveLocalHeaderOffset(DirItem& item, std::int64_t delta);

// Where the directory of a multi-volume set goes: the volume writer, which keeps a block in one
// volume when asked and tells where it writes.
class DirectoryVolumes {
 public:
  virtual ~DirectoryVolumes() = default;
  // `keep_together` 0: the whole block lies in one volume; -1: it may be cut anywhere.
  virtual void Write(const std::uint8_t* bytes, std::size_t count, std::int64_t keep_together) = 0;
  // Goes on to the next volume unless `length` more bytes fit into the current one.
  virtual void MakeRoom(std::int64_t length) = 0;
  // The volume being written (from 0) and the write position in it.
  virtual std::uint32_t Volume() const = 0;
  virtual std::int64_t Position() = 0;
};

// What the directory manager needs to know of the component that owns it, taken once when the
// archive is opened.
struct DirSettings {
  // The standard signatures, or the engine's alternate set.
  bool zip_format = true;
  // Damage is repaired by rebuilding from local headers instead of refused.
  bool open_corrupted_archives = false;
  SpanningMode spanning_mode = SpanningMode::smNone;
  // Names without the UTF-8 flag are OEM (code page 437) rather than ANSI.
  bool oem_file_names = true;
  // The stream was handed in by a caller: volumes are never switched on it.
  bool custom_stream = false;
  // Named in the errors the manager raises.
  std::u16string component_name;
  // Reading a set: makes the volumes from `first` to `last` the archive stream, read as one
  // stream from the start of `first`. Not set for single files and callers' streams.
  std::function<platform::Stream&(std::int32_t first, std::int32_t last)> open_volumes;
};

// The directory manager of one open archive: the live directory (CDir), the rollback copy an
// update takes (RBCDir), the end records and the archive comment. It turns the bytes of the
// archive stream into the directory:
//   dir_manager.cpp   construction, the end-record search and the detection questions
//   loading.cpp       LoadDir: end records, Zip64, the entries and their extra blocks
//   stub.cpp          the stub in front of the archive and the offset correction
//   overlap.cpp       the refusal of items whose bytes overlap (zip bombs)
//   rebuild.cpp       a directory rebuilt from local headers, for damaged archives
//   saving.cpp        SaveDir: the directory and end records written back
//   merging.cpp       another archive's directory appended behind this one
class DirManager {
 public:
  // The end-record search reads at most this much from the end: the record and the largest
  // comment, with room to spare.
  static constexpr std::int64_t kEndSearchLength = 65600;
  static constexpr std::size_t kDirectoryWindow = 1 << 20;
  static constexpr std::size_t kRebuildWindow = 65535;
  static constexpr std::size_t kStubWindow = 10000;
  static constexpr std::uint16_t kMaxRebuildExtraLength = 260;

  DirManager(platform::Stream& stream, bool create, DirSettings settings);
  DirManager(const DirManager&) = delete;
  DirManager& operator=(const DirManager&) = delete;

  // Fills CDir, the end records, the comment, StubSize and CentralDirOffset from the stream.
  void LoadDir();
  // Writes the central directory, the Zip64 end records when the entry count or the offsets
  // need them, the end record and the comment. With `recreate_end` they go at the end of the
  // stream; without, over the directory that stands there (the comment changed). `stream`,
  // when given, becomes the archive stream. Names and flag bit 11 of every entry are
  // recomputed; nameLength, extraLength and commentLength follow what is written.
  void SaveDir(bool recreate_end, platform::Stream* stream = nullptr);
  // SaveDir for a new multi-volume set: the directory after the last record, each entry's
  // fixed part, name and extra field in one volume, and the end records together in the
  // volume that ends the set, numbered as the volumes where they lie.
  void SaveDirToVolumes(DirectoryVolumes& volumes);
  // Runs the end-record search (filling CentralDirEnd and the comment); true also when none
  // is found while the component opens corrupted archives.
  bool HasCentralDirEnd();
  // The directory has an item and item 0's local header is not at offset 0.
  bool IsSFXArchive() const;
  // Bit 0 of item 0's flags; only the first item is consulted.
  bool IsEncrypted() const;
  // Moves every file entry's local-header offset by StubSize; folder entries keep theirs.
  void ApplyStubOffset();
  // Replaces the directory by one rebuilt from the local headers found scanning the whole
  // stream (what loading falls back to for a damaged archive; repair also asks for it when
  // the directory it read points at records that are not where it says).
  void RebuildFromLocalHeaders();

  // Appends the entries of `other`'s directory to this one and moves their local-header
  // offsets by this manager's CentralDirOffset, where a caller has put a copy of `other`'s
  // records (merging.cpp). Copies no data.
  void MergeWith(const DirManager& other);

  DirArray CDir;
  DirArray RBCDir;
  // RBCDir := CDir, with the end records and the comment as they stand.
  void TakeRollbackCopy();
  // CDir := RBCDir, with the end records and the comment of that time.
  void RestoreRollbackCopy();

  platform::Stream& CompressedStream() { return *archive_stream_; }
  bool IsCreate() const { return create_; }
  bool IsCustomStream() const { return settings_.custom_stream; }
  const DirSettings& Settings() const { return settings_; }
  // The component learnt more of the archive (its spanning mode) after making the manager.
  void SetSettings(DirSettings settings) { settings_ = std::move(settings); }
  const std::string& ArchiveComment() const { return archive_comment_; }
  void SetArchiveComment(std::string value) { archive_comment_ = std::move(value); }
  const ZipCentralDirEnd& CentralDirEnd() const { return central_dir_end_; }
  const Zip64CentralDirEnd& Zip64CentralDirEndRecord() const { return zip64_central_dir_end_; }
  const Zip64CentralDirEndLocator& Zip64Locator() const { return zip64_locator_; }
  // Bytes in front of the archive data (a self-extractor or other stub); 0 when none.
  std::int64_t StubSize() const { return stub_size_; }
  void SetStubSize(std::int64_t value) { stub_size_ = value; }
  void SetCompressedStream(platform::Stream& stream) { archive_stream_ = &stream; }
  bool Zip64() const { return zip64_; }
  // Where the central directory begins; after a rebuild, the stream size. Item data must not
  // run into it.
  std::int64_t CentralDirOffset() const { return central_dir_offset_; }
  bool Aborted() const { return aborted_; }
  void SetAborted(bool value) { aborted_ = value; }

 private:
  // The end record nearest the end of the stream whose comment reaches exactly to the end;
  // its offset, or -1.
  std::int64_t FindCentralDirEnd(std::uint32_t signature);
  void ResetCentralDirEnd();
  // LoadDir without the overlap check.
  void ReadDirectory();
  void ReadEntries(std::int64_t position, std::int64_t count);
  // Reads an entry's extra field into `item` and applies the blocks the engine knows;
  // `stored_name` is the name bytes as stored, for the Info-ZIP Unicode Path check.
  void ReadExtraBlocks(DirItem& item, std::span<const std::uint8_t> field,
                       std::string_view stored_name, std::u16string& name);
  // `version_made_by` names the host that wrote the entry; 0 where it is not known.
  std::u16string DecodeName(const std::string& stored, std::uint16_t flags, bool ansi_only,
                            std::uint16_t version_made_by = 0) const;
  // `directory_offset` is where the directory was found, which the stored offset of a
  // directory behind a stub falls short of.
  void DetectStub(std::int64_t end_offset, std::int64_t directory_offset);
  // The stub a directory's own offset gives away: an archive appended to another file (or to
  // another archive) with offsets counted from its own start. True when found and applied.
  bool DetectUnadjustedStub(std::int64_t directory_offset);
  // Where a directory lies, for its end records.
  struct EndRecordPlace {
    std::uint32_t start_volume = 0;  // the volume where the directory starts
    std::int64_t start = 0;          // and its offset there
    std::uint64_t size = 0;          // its bytes, over all volumes
    std::uint32_t volume = 0;        // the volume that takes the end records
    std::int64_t position = 0;       // and their offset there
  };
  // The Zip64 end records when the place or the count needs them, the end record and the
  // archive comment; the records in memory take the values written.
  void EncodeEndRecords(ByteWriter& out, const EndRecordPlace& place);
  std::size_t EndRecordsLength(std::int64_t position, std::uint32_t volume) const;
  bool OffsetsAreAbsolute() const;
  // Refuses (`kOverlappingItems`) an archive in which two items' bytes, local header to end of
  // data, overlap.
  void RefuseOverlappingItems();
  // `next_header` is where the next local header found starts (the stream's size after the
  // last): the most an entry whose data descriptor is lost can own.
  std::int32_t AddRebuiltItem(std::int64_t offset, const ZipLocalHeader& header,
                              std::int64_t stream_size, std::int64_t next_header,
                              SignatureScanner& descriptors);

  struct EndRecords {
    std::string archive_comment;
    Zip64CentralDirEndLocator zip64_locator;
    Zip64CentralDirEnd zip64_central_dir_end;
    ZipCentralDirEnd central_dir_end;
    bool zip64 = false;
    std::int64_t central_dir_offset = 0;
  };
  EndRecords rollback_end_;

  platform::Stream* archive_stream_;
  bool create_;
  DirSettings settings_;
  std::string archive_comment_;
  Zip64CentralDirEndLocator zip64_locator_;
  Zip64CentralDirEnd zip64_central_dir_end_;
  ZipCentralDirEnd central_dir_end_;
  std::int64_t stub_size_ = 0;
  bool zip64_ = false;
  bool aborted_ = false;
  std::int64_t central_dir_offset_ = 0;
};

}  // namespace qm::archive
