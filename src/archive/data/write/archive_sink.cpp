#include "archive/data/write/archive_sink.h"

#include "platform/stream_errors.h"

namespace qm::archive {

bool ArchiveSink::Write(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return true;
  const std::int64_t position = destination_.Position();
  for (;;) {
    std::size_t taken = 0;
    try {
      taken = destination_.Write(bytes.data(), bytes.size());
    } catch (const platform::WriteError&) {
      taken = 0;  // the system refused: the same case as a short write
    }
    if (taken == bytes.size()) break;
    if (!events_.DiskFull()) return false;
    destination_.SetPosition(position);
  }
  written_ += bytes.size();
  return true;
}

}  // namespace qm::archive
