#pragma once

#include <cstddef>
#include <filesystem>

namespace qm::archive::testing {

// A tree of a few thousand small files in nested folders, compressible and not, some empty,
// for sets of many volumes; answers the number of files.
std::size_t MakeVolumeTree(const std::filesystem::path& root);

}  // namespace qm::archive::testing
