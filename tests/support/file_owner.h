#pragma once

#include <cstdint>
#include <filesystem>

namespace qm::testing {

// Whether this process may give its files to another user: a superuser on POSIX. Never on
// Windows, whose files have no such owner numbers; the tests that need it skip themselves.
bool CanGiveFilesAway();
// Gives `path` to `user` and `group`; false when it cannot.
bool GiveFileAway(const std::filesystem::path& path, std::uint32_t user, std::uint32_t group);

}  // namespace qm::testing
