#include "archive/component/encode_ahead.h"

#include <algorithm>

#include "archive/data/write/encoder_chunking.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/disk_paths.h"
#include "platform/file_attributes.h"
#include "platform/file_stream.h"

namespace qm::archive {
namespace {

// The window: enough small sources to keep the worker busy while the caller writes, and a
// bound on memory (a source and its compressed form each) whatever their sizes.
constexpr std::size_t kMaxItemsAhead = 32;
constexpr std::size_t kMaxBytesAhead = 4u << 20;

}  // namespace

std::shared_ptr<WholeSource> BaseArchiver::EncodeAhead::Take(std::int32_t index) {
  // Left by an item that stopped before its turn came to the encoder.
  while (!ahead_.empty() && ahead_.front().turn < turn_) PopFront();
  next_ = std::max(next_, turn_);
  Fill();
  if (ahead_.empty() || ahead_.front().turn != turn_ || order_[turn_].index != index) {
    return nullptr;
  }
  const DirItem& item = owner_.dir_manager_->CDir.GetItem(index);
  std::shared_ptr<WholeSource> source = ahead_.front().source;
  const bool same_source = ahead_.front().path == item.Change().SrcFileName;
  PopFront();
  worker_.Finish(source);
  if (!same_source || source->failure) return nullptr;
  return source;
}

void BaseArchiver::EncodeAhead::PopFront() {
  bytes_ahead_ -= ahead_.front().source->bytes.size();
  ahead_.pop_front();
}

void BaseArchiver::EncodeAhead::Fill() {
  const DirArray& dir = owner_.dir_manager_->CDir;
  while (next_ < order_.size() && ahead_.size() < kMaxItemsAhead && bytes_ahead_ < kMaxBytesAhead) {
    const std::size_t turn = next_++;
    const DirItem& item = dir.GetItem(order_[turn].index);
    if (!GoesAhead(item)) continue;
    std::shared_ptr<WholeSource> source = ReadWhole(item);
    if (!source) continue;
    bytes_ahead_ += source->bytes.size();
    ahead_.push_back(Ahead{turn, item.Change().SrcFileName, source});
    worker_.Submit(std::move(source));
  }
}

bool BaseArchiver::EncodeAhead::GoesAhead(const DirItem& item) const {
  const ProcessOperation op = item.Operation;
  if (!item.Modified || (op != ProcessOperation::poAdd && op != ProcessOperation::poMove &&
                         op != ProcessOperation::poUpdate)) {
    return false;
  }
  if (item.Change().Stream || item.Change().SrcFileName.empty() ||
      (item.CentralDir.externalAttr & platform::attr::kDirectory) != 0) {
    return false;
  }
  const std::uint8_t mode = item.CompressionMode;
  const std::uint64_t size = item.UncompressedSize();
  if (mode < 1 || mode > 9 || size == 0 ||
      size > static_cast<std::uint64_t>(EncoderChunkSize(mode))) {
    return false;
  }
  // Left to its turn: the check that the archive does not swallow itself.
  return owner_.in_memory_ || owner_.is_custom_stream_ ||
         NamePart(item.Change().SrcFileName) != NamePart(owner_.file_name_);
}

std::shared_ptr<WholeSource> BaseArchiver::EncodeAhead::ReadWhole(const DirItem& item) const {
  // Any failure leaves the source to its turn, which meets it again and reports it there.
  try {
    const auto file = owner_.OpenSource(item);
    const std::int64_t size = file->Size();
    if (size <= 0 || size > EncoderChunkSize(item.CompressionMode)) return nullptr;
    auto source = std::make_shared<WholeSource>();
    source->mode = item.CompressionMode;
    source->status = file->Handle().Status();
    source->bytes.resize(static_cast<std::size_t>(size));
    file->SetPosition(0);
    std::size_t got = 0;
    while (got < source->bytes.size()) {
      const std::size_t n = file->Read(source->bytes.data() + got, source->bytes.size() - got);
      if (n == 0) return nullptr;
      got += n;
    }
    return source;
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace qm::archive
