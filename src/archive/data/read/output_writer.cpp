#include "archive/data/read/output_writer.h"

#include "platform/stream_errors.h"

namespace qm::archive {

bool OutputWriter::Write(std::span<std::uint8_t> data) {
  if (data.empty()) return true;
  const std::int64_t position = out_.Position();
  for (;;) {
    std::size_t written = 0;
    try {
      written = out_.Write(data.data(), data.size());
    } catch (const platform::WriteError&) {
      written = 0;  // the system refused: a full disk, a quota, a lost device
    }
    if (written == data.size()) return true;
    if (!events_.DiskFull()) return false;
    out_.SetPosition(position);
  }
}

}  // namespace qm::archive
