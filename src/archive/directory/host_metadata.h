#pragma once

#include <cstdint>
#include <optional>

#include "archive/directory/dir_item.h"

namespace qm::archive {

// What entries made by Unix tools carry beyond the MS-DOS fields: permission bits in the high
// half of the external attributes (when the host byte of versionMadeBy is 3), and Info-ZIP's
// extended timestamp block with the modification time in Unix seconds (UTC, one second).

// The permission bits (rwx for owner, group, others) of a regular file made on Unix; nullopt
// for other hosts, for entries without a mode, and for links, devices and the like. Set-id and
// sticky bits are never part of the answer.
std::optional<std::uint32_t> UnixPermissions(const DirItem& item);

// The modification time of the extended timestamp block (0x5455), when the entry has one
// that holds it.
std::optional<std::int64_t> ExtendedModificationTime(const DirItem& item);

}  // namespace qm::archive
