#include "archive/writing/file_gatherer.h"

#include "archive/names/file_masks.h"
#include "archive/names/path_rules.h"
#include "archive/writing/disk_paths.h"
#include "platform/file_attributes.h"

namespace qm::archive {
namespace {

using platform::DirEntry;
using platform::kPathSeparator;
namespace attr = platform::attr;

bool IsFolder(const DirEntry& entry) {
  return (entry.attributes & attr::kDirectory) != 0;
}

std::u16string WithSeparator(std::u16string path) {
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

bool HasWildcards(const std::u16string& mask) {
  return mask.find_first_of(u"*?") != std::u16string::npos;
}

bool HasSeparator(const std::u16string& mask) {
  return mask.find(u'/') != std::u16string::npos ||
         mask.find(kPathSeparator) != std::u16string::npos;
}

}  // namespace

std::vector<DirEntry> FileGatherer::Find(const std::u16string& pattern,
                                         std::uint32_t filter) const {
  std::u16string folder = FolderPart(pattern);
  const std::u16string name_mask = NamePart(pattern);
  if (folder.empty()) folder = WithSeparator(settings_.current_dir);
  std::error_code error;
  std::vector<DirEntry> listed = platform::Platform::Current().ListDirectory(folder, filter, error);
  std::vector<DirEntry> found;
  for (DirEntry& entry : listed) {
    if (name_mask == u"*" || MatchName(entry.name, name_mask)) found.push_back(std::move(entry));
  }
  return found;
}

bool FileGatherer::Excluded(const std::u16string& path, bool is_folder) const {
  for (const std::u16string& mask : settings_.exclusions) {
    if (MatchesDiskMask(path, mask, is_folder, settings_.current_dir, settings_.base_dir)) {
      return true;
    }
  }
  return false;
}

bool FileGatherer::AddFoundEntry(const DirEntry& entry, const std::u16string& folder,
                                 const std::u16string& root) {
  std::u16string path = WithSeparator(ResolvePath(folder, u"", settings_.current_dir)) + entry.name;
  const bool is_folder = IsFolder(entry);
  if (is_folder) path += kPathSeparator;
  if (Excluded(path, is_folder)) return false;
  target_.AddDiskFile(path, root, entry);
  return true;
}

void FileGatherer::ScanDirectory(const std::u16string& dir, const std::u16string& root,
                                 std::u16string mask, bool recurse) {
  const std::uint32_t filter = settings_.search_attr;
  const ResolvedMask resolved = ResolveMask(mask, dir, settings_.current_dir);
  const std::u16string& full = resolved.full;
  if (full.empty()) return;

  // One named file or folder: taken as it is, nothing below it.
  if (full == mask && !HasWildcards(mask)) {
    const auto found = Find(full, filter);
    if (!found.empty()) AddFoundEntry(found.front(), FolderPart(full), root);
    return;
  }

  const std::uint32_t file_filter = filter & ~attr::kDirectory;
  constexpr std::uint32_t kPlainFile =
      attr::kArchive | attr::kReadOnly | attr::kHidden | attr::kSystem;
  for (const DirEntry& entry : Find(full, file_filter)) {
    if (IsFolder(entry)) continue;
    if ((entry.attributes & file_filter) != 0 ||
        (entry.attributes == 0 && (file_filter & kPlainFile) == kPlainFile)) {
      AddFoundEntry(entry, FolderPart(full), root);
    }
  }

  const bool take_folders = (filter & attr::kDirectory) != 0;
  if (!take_folders && !recurse) return;
  std::u16string sub = FolderPart(full);
  const std::u16string resolved_sub = ResolvePath(sub, u"", settings_.current_dir);
  if (resolved_sub.find(dir) == std::u16string::npos && resolved.plain_relative) {
    sub = WithSeparator(dir);
  }
  constexpr std::uint32_t kFolderSearch = attr::kDirectory | attr::kHidden | attr::kSystem;
  for (const DirEntry& folder : Find(sub + u"*", kFolderSearch)) {
    if (!IsFolder(folder) || folder.symbolic_link) continue;
    const std::u16string path = sub + folder.name;
    if (Excluded(path, true)) continue;
    if (take_folders && (MatchName(path, full) || MatchName(path + u".", full))) {
      if (AddFoundEntry(folder, sub, root)) {
        // A folder named without wildcards is taken whole; a pattern also sifts its contents.
        mask = NamePart(mask);
        ScanDirectory(path, root, HasWildcards(mask) ? mask : u"*.*", true);
      }
      continue;
    }
    if (!recurse) continue;
    if (HasSeparator(mask)) {
      if (HasWildcards(mask)) ScanDirectory(path, root, NamePart(full), true);
    } else {
      ScanDirectory(path, root, mask, true);
    }
  }
}

}  // namespace qm::archive
