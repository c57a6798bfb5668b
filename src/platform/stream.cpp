#include "platform/stream.h"

#include <algorithm>
#include <vector>

#include "platform/stream_errors.h"

namespace qm::platform {

std::int64_t Stream::Size() {
  const std::int64_t position = Seek(0, Origin::kCurrent);
  const std::int64_t size = Seek(0, Origin::kEnd);
  Seek(position, Origin::kBegin);
  return size;
}

void Stream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw ReadError();
}

void Stream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw WriteError();
}

std::int64_t Stream::CopyFrom(Stream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr std::int64_t kChunk = 1 << 16;
  std::vector<char> buffer(static_cast<std::size_t>(std::min(count, kChunk)));
  std::int64_t left = count;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min(left, kChunk));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

}  // namespace qm::platform
