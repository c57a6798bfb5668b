// Decoding one item's data: the reading path assembled from its stages (data/), with the
// component answering what the stages tell and ask (progress, a full disk, a password).
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/data/codecs/fast_decoding.h"
#include "archive/data/item_data_events.h"
#include "archive/data/read/archive_source.h"
#include "archive/data/read/crc_check.h"
#include "archive/data/read/decipher_stage.h"
#include "archive/data/read/inflate_stage.h"
#include "archive/data/read/item_lookahead.h"
#include "archive/data/read/length_limit.h"
#include "archive/data/read/local_header.h"
#include "archive/data/read/output_writer.h"
#include "archive/data/read/partial_window.h"
#include "archive/data/read/stored_stage.h"
#include "archive/directory/dir_manager.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/names/path_rules.h"
#include "platform/processors.h"

namespace qm::archive {

// The stages' events for one item, raised through the component's dispatchers.
class BaseArchiver::DataEvents final : public ItemDataEvents {
 public:
  DataEvents(BaseArchiver& owner, const DirItem& item) : owner_(owner), item_(item) {}

  bool Progress(std::int64_t done, std::int64_t total) override {
    if (!owner_.progress_enabled_) return true;
    bool& cancel = owner_.progress_cancel_;
    const double part = static_cast<double>(done) / static_cast<double>(total);
    owner_.DoFileProgress(item_.Name, part * 100.0, item_.Operation, ProgressPhase::ppProcess,
                          cancel);
    if (cancel) return false;
    const double files = std::max<std::int32_t>(owner_.processed_file_count_, 1);
    owner_.DoOverallProgress((part + owner_.processed_file_no_) / files * 100.0, item_.Operation,
                             ProgressPhase::ppProcess, cancel);
    return !cancel;
  }

  bool DiskFull() override {
    bool cancel = true;
    owner_.DoDiskFull(-1, owner_.file_name_, cancel);
    if (cancel) owner_.progress_cancel_ = true;
    return !cancel;
  }

  // Nobody is asked while passwords are being checked silently (IsFilePasswordValid).
  bool AskPassword(std::string& password) override {
    if (owner_.suppress_password_event_) return false;
    std::string new_password = owner_.password_;
    owner_.DoPassword(ForCallers(item_.Name), new_password, owner_.skip_file_);
    if (owner_.skip_file_) return false;
    owner_.SetPassword(std::move(new_password));
    password = owner_.password_;
    return true;
  }

 private:
  BaseArchiver& owner_;
  const DirItem& item_;
};

std::unique_ptr<ItemLookahead> BaseArchiver::MakeLookahead(ProcessOperation operation,
                                                           std::int32_t index) {
  const bool loop = index == -1 && (operation == ProcessOperation::poExtract ||
                                    operation == ProcessOperation::poTest);
  // Only the engine's own file is read ahead: a caller's stream may count or time its reads.
  const bool own_file = spanning_mode_ == SpanningMode::smNone && !is_custom_stream_ &&
                        !in_memory_ && owned_stream_ && archive_stream_ == owned_stream_.get();
  if (!loop || !own_file || !dir_manager_) return nullptr;
  // On one processor a worker would only take turns with the loop.
  const bool worker = WholeInflateBuiltIn() && platform::UsableProcessors() > 1;
  return std::make_unique<ItemLookahead>(*archive_stream_, dir_manager_->CentralDirOffset(),
                                         worker);
}

bool BaseArchiver::DecodeItem(platform::Stream& archive, platform::Stream& out,
                              std::int64_t start_position, std::int32_t count, const DirItem& item,
                              ItemLookahead* lookahead) {
  // For the classic cipher the local header's flags, time and CRC give the check byte.
  const ZipLocalHeader local = SkipLocalHeader(archive);
  // An offset into other bytes (another item's data) must not be decoded from there.
  const bool alternate = item.CentralDir.signature == sig::kAltCentralDir;
  if (local.signature != (alternate ? sig::kAltLocalHeader : sig::kLocalHeader)) {
    throw ArchiveError(ErrorSite::kLocalHeaderMissing, {ForCallers(item.Name)}, ComponentName());
  }

  std::int64_t compressed =
      static_cast<std::int64_t>(std::min<std::uint64_t>(item.CompressedSize(), INT64_MAX / 2));
  const std::int64_t expected =
      static_cast<std::int64_t>(std::min<std::uint64_t>(item.UncompressedSize(), INT64_MAX / 2));
  // Item data never runs into the central directory; a damaged size is cut there.
  const std::int64_t data_start = archive.Position();
  if (spanning_mode_ == SpanningMode::smNone && dir_manager_ &&
      data_start + compressed > dir_manager_->CentralDirOffset()) {
    compressed = std::max<std::int64_t>(0, dir_manager_->CentralDirOffset() - data_start);
  }

  std::int64_t progress_total = start_position + count != 0 ? start_position + count : expected;
  if (progress_total == 0) progress_total = 2;
  skip_file_ = false;

  const std::uint16_t method = item.CompressionMethod;
  if (method == method::kDeflate64) throw ArchiveError(ErrorSite::kDeflate64, ComponentName());
  if (method != method::kStored && method != method::kDeflated) return false;

  DataEvents events(*this, item);
  std::unique_ptr<ItemDecipher> decipher;
  if (item.IsEncrypted()) {
    decipher = MakeItemDecipher(item, local);
    compressed -= decipher->HeaderSize() + decipher->TrailerSize();
    if (!OpenWithPassword(*decipher, archive, password_, events)) return false;
    if (compressed < 0) return false;
  }
  const std::int64_t data_begin = archive.Position();

  // The room below the inflater is the item's size and one byte more (LengthLimit).
  std::optional<InflatedAhead> ahead;
  if (lookahead && !decipher && count == 0 && method == method::kDeflated) {
    ahead = lookahead->Inflated(data_begin, compressed, expected + 1);
  }
  const InflatedAhead* inflated = ahead ? &*ahead : nullptr;
  OutputWriter writer(out, events);
  CrcCheck crc(writer, inflated);
  LengthLimit limit(crc, expected);
  std::unique_ptr<ItemSink> decoder;
  if (method == method::kDeflated) {
    // The faster inflater goes over the item's bytes again when it finds them damaged: only
    // plain items in a single archive file (a spanned one would ask for its disks again).
    DeflatedReread reread;
    if (!decipher && spanning_mode_ == SpanningMode::smNone) {
      reread = [&archive, data_begin](std::int64_t offset, std::span<std::uint8_t> into) {
        return ReadAgain(archive, data_begin + offset, into);
      };
    }
    decoder = std::make_unique<InflateStage>(limit, events, progress_total, compressed,
                                             std::move(reread), inflated);
  } else {
    decoder = std::make_unique<StoredStage>(limit, events, progress_total);
  }
  std::unique_ptr<DecipherStage> deciphering;
  if (decipher) deciphering = std::make_unique<DecipherStage>(*decoder, *decipher);
  ItemSink& first = deciphering ? static_cast<ItemSink&>(*deciphering) : *decoder;

  ArchiveSource source(archive, compressed);
  if (count > 0) {
    // Only the window is wanted: decoding stops once it is covered, and nothing is checked.
    PartialWindow window(out, start_position, count);
    std::int64_t before = 0;
    return source.Run(first, [&] {
      const std::int64_t after = limit.Produced();
      const bool covered = window.AfterChunk(before, after);
      before = after;
      return covered;
    });
  }
  if (!source.Run(first, {})) return false;

  if (limit.Produced() != expected) return false;
  if (SkipsZipChecks(alternate, item.CentralDir.extractVersion)) return true;
  if (decipher) {
    // The cipher's own check after the data (AES: the authentication code).
    archive.SetPosition(data_begin + compressed);
    return decipher->Verify(archive, item, crc.Crc());
  }
  return crc.Matches(item.CentralDir.crc32);
}

}  // namespace qm::archive
