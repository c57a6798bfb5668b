#include "archive/data/read/local_header.h"

#include <array>
#include <cstdint>

#include "archive/format/byte_reader.h"

namespace qm::archive {

ZipLocalHeader SkipLocalHeader(platform::Stream& archive) {
  std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> raw{};
  archive.ReadBuffer(raw.data(), raw.size());
  ByteReader reader(raw.data(), raw.size());
  ZipLocalHeader local;
  local.DecodeFrom(reader);
  archive.Seek(std::int64_t{local.nameLength} + local.extraLength,
               platform::Stream::Origin::kCurrent);
  return local;
}

}  // namespace qm::archive
