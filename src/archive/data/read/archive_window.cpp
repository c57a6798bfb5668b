#include "archive/data/read/archive_window.h"

#include <algorithm>
#include <cstring>

#include "platform/stream_errors.h"

namespace qm::archive {

void ArchiveWindow::Fill(platform::Stream& archive, std::int64_t start, std::int64_t length) {
  size_ = 0;
  std::uint8_t* const bytes = bytes_.First(static_cast<std::size_t>(length)).data();
  archive.SetPosition(start);
  std::int64_t got = 0;
  while (got < length) {
    const std::size_t n = archive.Read(bytes + got, static_cast<std::size_t>(length - got));
    if (n == 0) break;
    got += static_cast<std::int64_t>(n);
  }
  start_ = start;
  size_ = got;
  position_ = start;
}

std::size_t ArchiveWindow::Read(void* buffer, std::size_t count) {
  const std::int64_t end = start_ + size_;
  if (position_ < start_ || position_ >= end) return 0;
  const auto n = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(count), end - position_));
  std::memcpy(buffer, bytes_.Data() + (position_ - start_), n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

std::size_t ArchiveWindow::Write(const void*, std::size_t) {
  throw platform::WriteError("Stream write error: the archive window is read-only");
}

std::int64_t ArchiveWindow::Seek(std::int64_t offset, Origin origin) {
  const std::int64_t base = origin == Origin::kBegin     ? 0
                            : origin == Origin::kCurrent ? position_
                                                         : start_ + size_;
  const std::int64_t target = base + offset;
  if (target < 0) throw platform::ReadError("Stream seek error: before the start");
  position_ = target;
  return position_;
}

void ArchiveWindow::SetSize(std::int64_t) {
  throw platform::WriteError("Stream write error: the archive window is read-only");
}

}  // namespace qm::archive
