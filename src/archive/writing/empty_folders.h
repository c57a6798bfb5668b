#pragma once

#include <string>

namespace qm::archive {

// Removes the folder `path` after every empty folder below it, deepest first. A folder that
// still holds a file (or a link, which is never followed) stays, and so do the folders above
// it. True when `path` is gone, also when it was not there.
bool RemoveEmptyFolderTree(const std::u16string& path);

}  // namespace qm::archive
