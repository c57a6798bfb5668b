#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stream.h"

namespace qm::archive {

// Puts the program `stub_file` at the start of a new archive (cut to nothing first) and
// answers its size: the archive's records follow it, their offsets counted from the file's
// first byte. `first_volume_size` is the limit of the volume the stub goes into (-1 none); a
// stub longer than that raises `kSfxStubTooLarge` (one of exactly that size is taken).
std::int64_t PlaceStub(platform::Stream& archive, const std::u16string& stub_file,
                       std::int64_t first_volume_size, std::u16string_view component_name);

}  // namespace qm::archive
