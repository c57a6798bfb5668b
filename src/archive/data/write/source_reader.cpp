#include "archive/data/write/source_reader.h"

#include <algorithm>

namespace qm::archive {

SourceReader::SourceReader(platform::Stream& source, std::int64_t chunk_size)
    : source_(source), size_(std::max<std::int64_t>(0, source.Size())), chunk_size_(chunk_size) {
  buffer_.resize(static_cast<std::size_t>(std::min(chunk_size_, size_)));
  source_.SetPosition(0);
}

std::span<std::uint8_t> SourceReader::Next() {
  if (short_read_ || consumed_ >= size_) return {};
  const auto want = static_cast<std::size_t>(std::min(chunk_size_, size_ - consumed_));
  std::size_t got = 0;
  while (got < want) {
    const std::size_t n = source_.Read(buffer_.data() + got, want - got);
    if (n == 0) break;
    got += n;
  }
  if (got < want) {
    short_read_ = true;
    return {};
  }
  consumed_ += static_cast<std::int64_t>(got);
  return std::span(buffer_.data(), got);
}

void SourceReader::Rewind() {
  source_.SetPosition(0);
  consumed_ = 0;
  short_read_ = false;
}

}  // namespace qm::archive
