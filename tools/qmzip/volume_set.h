#pragma once

#include <string>

namespace qm::qmzip {

// The archive to open for `path`: the set's own name (its last volume) when `path` names
// another volume of a set ("arc.z03", "arc_002.zip") and that file exists, else `path`.
std::u16string ArchiveOfVolume(const std::u16string& path);

}  // namespace qm::qmzip
