#pragma once

#include "archive/format/records.h"
#include "platform/stream.h"

namespace qm::archive {

// Reads the local header `archive` stands at and skips its name and extra field, leaving the
// stream at the item's first stored byte. Only the header's fixed part is returned: sizes and
// names come from the directory, which is trusted over the local copy. platform::ReadError
// when the archive ends inside the header.
ZipLocalHeader SkipLocalHeader(platform::Stream& archive);

}  // namespace qm::archive
