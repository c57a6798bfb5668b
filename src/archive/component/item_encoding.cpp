// Encoding one item's data into the archive: the component's settings and events around the
// writing stages of data/ (source, CRC, deflate, encipher, archive), then the sizes, CRC,
// method and Zip64 marks recorded in the item for the record writer.
#include <algorithm>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/data/item_data_events.h"
#include "archive/data/write/item_encoder.h"
#include "archive/encryption/cipher_factory.h"
#include "archive/format/records.h"

namespace qm::archive {

// The component as the encoder's events: progress goes to OnFileProgress (with the source's
// name) and OnOverallProgress (the share of all bytes of the commit), a refused write to
// OnDiskFull. Encoding never asks for a password.
class BaseArchiver::EncodingEvents final : public ItemDataEvents {
 public:
  EncodingEvents(BaseArchiver& owner, const DirItem& item) : owner_(owner), item_(item) {}

  bool Progress(std::int64_t done, std::int64_t total) override {
    BaseArchiver& a = owner_;
    if (!a.progress_enabled_) return true;
    const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
    a.DoFileProgress(item_.Change().SrcFileName, part * 100.0, item_.Operation,
                     ProgressPhase::ppProcess, a.progress_cancel_);
    if (a.progress_cancel_) return false;
    const double overall = a.processed_files_total_size_ > 0
                               ? static_cast<double>(a.processed_files_size_ + done) /
                                     static_cast<double>(a.processed_files_total_size_) * 100.0
                               : 50.0;
    a.DoOverallProgress(std::min(overall, 100.0), item_.Operation, ProgressPhase::ppProcess,
                        a.progress_cancel_);
    return !a.progress_cancel_;
  }

  bool DiskFull() override {
    bool cancel = true;
    owner_.DoDiskFull(-1, owner_.file_name_, cancel);
    if (cancel) owner_.progress_cancel_ = true;
    return !cancel;
  }

  bool AskPassword(std::string&) override { return false; }

 private:
  BaseArchiver& owner_;
  const DirItem& item_;
};

bool BaseArchiver::EncodeItem(platform::Stream& destination, platform::Stream& source,
                              DirItem& item, WholeSource* ready) {
  EncodeSettings settings;
  settings.compression_mode = item.CompressionMode;
  settings.password = item.Change().Password;
  settings.algorithm = crypto_algorithm_;
  const bool aes = !settings.password.empty() && AesKeyBits(crypto_algorithm_) != 0;
  if (aes) item.EncryptionAlgorithm = crypto_algorithm_;

  EncodingEvents events(*this, item);
  ItemEncoder encoder(std::move(settings), events);
  const EncodeOutcome outcome = encoder.Encode(destination, source, item, ready);
  processed_files_size_ += outcome.source_size;

  if (outcome.consumed != outcome.source_size || outcome.source_changed) {
    if (progress_cancel_ || outcome.cancelled) return false;
    throw ArchiveError(ErrorSite::kCompressedSizeMismatch, {outcome.source_size, outcome.consumed},
                       ComponentName());
  }

  // The record writer takes everything from here: sizes (with their Zip64 escapes), CRC and
  // method. An empty source is stored whatever the mode; an AES item keeps 99 in compMethod,
  // its real method travels in the AES block.
  item.CompressionMethod = outcome.method;
  item.CentralDir.compMethod = aes ? method::kAes : outcome.method;
  item.CentralDir.crc32 = outcome.crc32;
  const auto uncompressed = static_cast<std::uint64_t>(outcome.source_size);
  const std::uint64_t compressed = outcome.compressed_size;
  const bool always = zip64_mode_ == Zip64Mode::zmAlways;
  const bool huge_uncompressed = always || uncompressed >= kEscape32;
  const bool huge_compressed = always || compressed >= kEscape32;
  if (huge_uncompressed || huge_compressed) {
    if (zip64_mode_ == Zip64Mode::zmDisabled) {
      throw ArchiveError(ErrorSite::kItemNeedsZip64, {item.Change().SrcFileName}, ComponentName());
    }
    item.bHugeFile = true;
  }
  item.CentralDir.unCompSize =
      huge_uncompressed ? kEscape32 : static_cast<std::uint32_t>(uncompressed);
  item.CentralDir.compSize = huge_compressed ? kEscape32 : static_cast<std::uint32_t>(compressed);
  if (huge_uncompressed || huge_compressed || item.HasRecord()) {
    Zip64ExtendedInfo& zip64 = item.EditRecord().Zip64ExtInfo;
    zip64.uncompSize = huge_uncompressed ? uncompressed : 0;
    zip64.compSize = huge_compressed ? compressed : 0;
  }
  return true;
}

}  // namespace qm::archive
