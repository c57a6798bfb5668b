#include "archive/writing/empty_folders.h"

#include <system_error>

#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::archive {

bool RemoveEmptyFolderTree(const std::u16string& path) {
  platform::Platform& os = platform::Platform::Current();
  // A final separator would have a link to a folder followed.
  std::u16string folder = path;
  while (folder.size() > 1 && folder.ends_with(platform::kPathSeparator)) folder.pop_back();
  const auto status = os.GetFileStatus(folder, false);
  if (!status) return true;
  if (!status->directory || status->symbolic_link) return false;
  const std::u16string prefix = folder + platform::kPathSeparator;
  std::error_code error;
  for (const platform::DirEntry& entry :
       os.ListDirectory(prefix, platform::attr::kFilterBits, error)) {
    if ((entry.attributes & platform::attr::kDirectory) != 0 && !entry.symbolic_link) {
      RemoveEmptyFolderTree(prefix + entry.name);
    }
  }
  os.RemoveEmptyDirectory(folder);
  return !os.GetFileStatus(folder, false);
}

}  // namespace qm::archive
