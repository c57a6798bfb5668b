#include "archive/data/read/archive_source.h"

#include <algorithm>
#include <vector>

namespace qm::archive {
namespace {

// Reads exactly `count` bytes; a short read is a failed one.
bool ReadExactly(platform::Stream& archive, std::uint8_t* buffer, std::int64_t count) {
  std::int64_t got = 0;
  while (got < count) {
    const std::size_t n = archive.Read(buffer + got, static_cast<std::size_t>(count - got));
    if (n == 0) return false;
    got += static_cast<std::int64_t>(n);
  }
  return true;
}

}  // namespace

bool ArchiveSource::Run(ItemSink& first, const std::function<bool()>& after_chunk) {
  std::vector<std::uint8_t> input(static_cast<std::size_t>(std::min(length_, kChunk)));
  for (std::int64_t taken = 0; taken < length_;) {
    const std::int64_t n = std::min(kChunk, length_ - taken);
    if (!ReadExactly(archive_, input.data(), n)) return false;
    if (!first.Write(std::span(input.data(), static_cast<std::size_t>(n)))) return false;
    taken += n;
    if (after_chunk && after_chunk()) break;
    if (first.Ended()) break;
  }
  return true;
}

bool ReadAgain(platform::Stream& archive, std::int64_t position, std::span<std::uint8_t> into) {
  const std::int64_t was = archive.Position();
  archive.SetPosition(position);
  const bool read = ReadExactly(archive, into.data(), static_cast<std::int64_t>(into.size()));
  archive.SetPosition(was);
  return read;
}

}  // namespace qm::archive
