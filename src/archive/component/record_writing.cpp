// One new item record: the local header with placeholders, the name and the extra blocks, the
// encoded data, then the header (and blocks) written again with the final CRC, sizes and
// method. No size needs to be known before the data has passed.
#include <algorithm>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/encode_ahead.h"
#include "archive/directory/dir_manager.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/writing/disk_paths.h"
#include "archive/writing/guarded_source.h"
#include "archive/writing/record_writer.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;

std::uint16_t ShareBits(FileShareMode mode) {
  switch (mode) {
    case FileShareMode::smShareCompat:
      return fm::kShareCompat;
    case FileShareMode::smShareExclusive:
      return fm::kShareExclusive;
    case FileShareMode::smShareDenyWrite:
      return fm::kShareDenyWrite;
    case FileShareMode::smShareDenyRead:
      return fm::kShareDenyRead;
    case FileShareMode::smShareDenyNone:
      break;
  }
  return fm::kShareDenyNone;
}

// The blocks of a new local header: Zip64 space (filled once the sizes are known), the name
// blocks, the AES block.
std::vector<ExtraFieldDataBlock> LocalBlocks(const DirItem& item, bool zip64_space,
                                             std::uint64_t source_size) {
  std::vector<ExtraFieldDataBlock> blocks;
  if (zip64_space) {
    Zip64ExtendedInfo sizes;
    sizes.uncompSize = source_size;
    sizes.compSize = item.CompressedSize();
    ExtraFieldDataBlock block;
    block.headerID = extra_id::kZip64;
    ByteWriter out(block.data);
    sizes.EncodeTo(out, Zip64Fields{.uncompSize = true, .compSize = true});
    block.dataSize = static_cast<std::uint16_t>(block.data.size());
    blocks.push_back(std::move(block));
  }
  auto rest = LocalNameAndCipherBlocks(item);
  blocks.insert(blocks.end(), rest.begin(), rest.end());
  return blocks;
}

std::vector<std::uint8_t> EncodeLocalRecordHead(const ZipLocalHeader& header,
                                                const std::string& name,
                                                const std::vector<ExtraFieldDataBlock>& blocks) {
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  header.EncodeTo(out);
  out.Bytes(name);
  EncodeExtraField(blocks, out);
  return bytes;
}

}  // namespace

std::unique_ptr<platform::FileStream> BaseArchiver::OpenSource(const DirItem& item) const {
  return std::make_unique<platform::FileStream>(item.Change().SrcFileName,
                                                fm::kRead | ShareBits(options_.ShareMode));
}

bool BaseArchiver::IsArchiveFile(const std::optional<platform::FileStatus>& status) const {
  if (!status) return false;
  // The archive's stream, and the volume file open under it when that is a set.
  for (platform::Stream* stream : {archive_stream_, owned_stream_.get()}) {
    auto* file = dynamic_cast<platform::FileStream*>(stream);
    if (file == nullptr) continue;
    const auto archive_status = file->Handle().Status();
    if (archive_status && archive_status->SameFile(*status)) return true;
  }
  return false;
}

bool BaseArchiver::WriteItemRecord(std::int32_t index) {
  UpdateCompressionMethod();
  DirManager& dm = *dir_manager_;
  DirItem& item = *dm.CDir.ItemPtr(index);
  const bool from_disk =
      item.Operation == ProcessOperation::poAdd || item.Operation == ProcessOperation::poMove;
  const std::u16string progress_name =
      from_disk && !item.Change().SrcFileName.empty() ? item.Change().SrcFileName : item.Name;
  DoFileProgress(progress_name, 0, item.Operation, ProgressPhase::ppStart, progress_cancel_);
  if (progress_cancel_) return false;

  const RecordSettings settings = MakeRecordSettings();
  // A set's record is made whole in a temporary file and then copied into the volumes: its
  // header is written again once the sizes are known, and the volume it began in may be gone
  // by then.
  platform::Stream* record_file = WritesVolumes() ? &VolumeRecordFile() : nullptr;
  platform::Stream& archive = record_file ? *record_file : *archive_stream_;
  const std::int64_t start = archive.Position();
  std::int64_t head_length = 0;
  std::unique_ptr<platform::FileStream> opened;
  // A source read and compressed ahead of its turn (component/encode_ahead.h).
  std::shared_ptr<WholeSource> ready;
  std::unique_ptr<platform::MemoryStream> read_ahead;
  platform::Stream* source = nullptr;
  std::int64_t caller_position = 0;
  auto release = [&] {
    opened.reset();
    read_ahead.reset();
    ready.reset();
    if (item.Change().Stream && source == item.Change().Stream.get()) {
      DirItemChange& change = item.EditChange();
      if (change.bDestroyStream) {
        change.Stream.reset();
        change.bDestroyStream = false;
      } else {
        change.Stream->SetPosition(caller_position);
      }
    }
    source = nullptr;
  };
  auto take_back = [&] {
    archive.SetSize(start);
    archive.SetPosition(start);
  };

  try {
    CheckRecordLengths(item, settings, ComponentName());
    const RecordName name = EncodeRecordName(item.Name, settings.oem_file_names);
    std::erase_if(item.EditRecord().ExtraFields, [](const ExtraFieldDataBlock& b) {
      return b.headerID == extra_id::kZip64 || b.headerID == extra_id::kAes;
    });
    RefreshNameBlocks(item, name, settings);
    item.SetStoredName(name.bytes);

    const bool folder =
        !item.Change().Stream && (item.CentralDir.externalAttr & platform::attr::kDirectory) != 0;
    if (item.Change().Stream) {
      source = item.Change().Stream.get();
      caller_position = source->Position();
    } else if (!folder) {
      platform::Platform& os = platform::Platform::Current();
      // The archive never swallows itself. (Full paths are compared only where the names are
      // alike: making a relative archive name full asks the system every time.)
      if (!in_memory_ && !is_custom_stream_ &&
          NamePart(item.Change().SrcFileName) == NamePart(file_name_) &&
          os.ExpandPath(item.Change().SrcFileName) == os.ExpandPath(file_name_)) {
        throw ArchiveError(ErrorSite::kCannotOpenSource, {item.Change().SrcFileName},
                           ComponentName());
      }
      if (encode_ahead_ != nullptr) ready = encode_ahead_->Take(index);
      if (ready) {
        read_ahead = std::make_unique<platform::MemoryStream>(std::move(ready->bytes));
        source = read_ahead.get();
        item.EditChange().SourceStatus = ready->status;
      } else {
        try {
          opened = OpenSource(item);
        } catch (const platform::FileStreamError&) {
          throw ArchiveError(ErrorSite::kCannotOpenSource, {item.Change().SrcFileName},
                             ComponentName());
        }
        source = opened.get();
        item.EditChange().SourceStatus = opened->Handle().Status();
      }
      // Nor through a link or another name of its file.
      if (IsArchiveFile(item.Change().SourceStatus)) {
        throw ArchiveError(ErrorSite::kCannotOpenSource, {item.Change().SrcFileName},
                           ComponentName());
      }
    }
    GuardedSource guarded(source != nullptr ? *source : archive,
                          from_disk ? item.Change().SrcFileName : item.Name, name_);
    const std::uint64_t source_size =
        source != nullptr ? static_cast<std::uint64_t>(guarded.Size()) : 0;

    const bool always = zip64_mode_ == Zip64Mode::zmAlways;
    const bool huge_offset = static_cast<std::uint64_t>(start) >= kEscape32;
    const bool huge_source = source_size >= kEscape32;
    if (zip64_mode_ == Zip64Mode::zmDisabled && (huge_offset || huge_source)) {
      throw ArchiveError(ErrorSite::kDirectoryNeedsZip64, {item.Change().SrcFileName},
                         ComponentName());
    }
    const bool zip64_space = always || huge_source;
    item.bHugeFile = always || huge_offset || huge_source;
    SetLocalHeaderOffset(item, static_cast<std::uint64_t>(start), always);

    ZipCentralDir& cd = item.CentralDir;
    const bool encrypted = !folder && !item.Change().Password.empty();
    const int aes_bits = encrypted ? AesKeyBits(crypto_algorithm_) : 0;
    if (encrypted) cd.genPurposeFlag |= gpf::kEncrypted;
    if (folder) {
      cd.crc32 = 0;
      cd.compSize = 0;
      cd.unCompSize = 0;
      cd.compMethod = method::kStored;
    }
    auto aes_block = [&] {
      AesExtraField aes;
      aes.strength = static_cast<std::uint8_t>(aes_bits / 64 - 1);
      aes.actualCompMethod = item.CompressionMethod;
      item.EditRecord().ExtraFields.push_back(MakeBlock(aes));
    };
    if (aes_bits != 0) aes_block();

    auto make_header = [&](bool final) {
      ZipLocalHeader header = LocalHeaderFromCentral(cd);
      const std::uint16_t version = RecordVersion(item.bHugeFile, settings);
      cd.versionMadeBy = version;
      cd.extractVersion = version;
      header.extractVersion = version;
      header.nameLength = static_cast<std::uint16_t>(name.bytes.size());
      header.unCompSize = zip64_space ? kEscape32 : static_cast<std::uint32_t>(source_size);
      if (!final) {
        header.crc32 = folder ? 0 : kEscape32;
        header.compSize = 0;
      } else {
        header.compSize = always || cd.compSize == kEscape32 ? kEscape32 : cd.compSize;
      }
      return header;
    };
    auto blocks = LocalBlocks(item, zip64_space, source_size);
    ZipLocalHeader header = make_header(false);
    header.extraLength = static_cast<std::uint16_t>(ExtraFieldLength(blocks));
    auto head = EncodeLocalRecordHead(header, name.bytes, blocks);
    archive.WriteBuffer(head.data(), head.size());
    head_length = static_cast<std::int64_t>(head.size());

    if (source != nullptr) {
      if (!EncodeItem(archive, guarded, item, ready.get())) {
        release();
        take_back();
        return false;
      }
      // The sizes found while encoding may call for Zip64 the header has no room for.
      if (cd.compSize == kEscape32 && !zip64_space) {
        throw ArchiveError(ErrorSite::kItemNeedsZip64, {item.Change().SrcFileName},
                           ComponentName());
      }
      if (aes_bits != 0) {
        std::erase_if(item.EditRecord().ExtraFields,
                      [](const ExtraFieldDataBlock& b) { return b.headerID == extra_id::kAes; });
        aes_block();
      }
      if (item.bHugeFile) SetLocalHeaderOffset(item, static_cast<std::uint64_t>(start), true);
      blocks = LocalBlocks(item, zip64_space, source_size);
      header = make_header(true);
      header.extraLength = static_cast<std::uint16_t>(ExtraFieldLength(blocks));
      head = EncodeLocalRecordHead(header, name.bytes, blocks);
      const std::int64_t end = archive.Position();
      archive.SetPosition(start);
      archive.WriteBuffer(head.data(), head.size());
      archive.SetPosition(end);
    }
    release();
  } catch (const ArchiveError& e) {
    release();
    take_back();
    // Without an archive stream there is nothing left to go on with.
    if (archive_stream_ == nullptr) {
      commit_action_ = Action::fxaAbort;
      return false;
    }
    DoProcessFileFailure(item.Operation == ProcessOperation::poUpdate ? item.Name : progress_name,
                         item.Operation, e.NativeError(), e.ErrorCode(), e.Message(),
                         commit_action_);
    return false;
  } catch (...) {
    release();
    throw;
  }
  // Outside the item's failure handling: a set that took part of a record cannot go on.
  if (record_file) {
    CopyRecordToVolumes(*record_file, head_length, item, zip64_mode_ == Zip64Mode::zmAlways);
  }
  DoFileProgress(progress_name, 100, item.Operation, ProgressPhase::ppEnd, progress_cancel_);
  return true;
}

}  // namespace qm::archive
