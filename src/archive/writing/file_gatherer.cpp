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

// "docs/", "docs/.", "/x/." : the path ends where a folder's contents would begin.
bool EndsWithFolderStep(const std::u16string& path) {
  if (path.empty()) return false;
  if (path.back() == kPathSeparator || path.back() == u'/') return true;
  return path.size() >= 2 && path.back() == u'.' &&
         (path[path.size() - 2] == kPathSeparator || path[path.size() - 2] == u'/');
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
  std::vector<DirEntry> found = List(folder, filter);
  std::erase_if(found, [&](const DirEntry& entry) { return !MatchesName(entry, name_mask); });
  return found;
}

std::vector<DirEntry> FileGatherer::List(const std::u16string& folder, std::uint32_t filter) const {
  auto key = std::make_pair(folder, filter);
  if (settings_.keep_listings) {
    const auto kept = listings_.find(key);
    if (kept != listings_.end()) return kept->second;
  }
  std::error_code error;
  std::vector<DirEntry> listed = platform::Platform::Current().ListDirectory(folder, filter, error);
  if (settings_.keep_listings && kept_entries_ + listed.size() <= kMaxKeptEntries) {
    kept_entries_ += listed.size();
    listings_.emplace(std::move(key), listed);
  }
  return listed;
}

bool FileGatherer::MatchesName(const DirEntry& entry, const std::u16string& name_mask) {
  return name_mask == u"*" || MatchName(entry.name, name_mask);
}

bool FileGatherer::PassesFilter(const DirEntry& entry, std::uint32_t filter) {
  return (entry.attributes & attr::kFilterBits & ~filter) == 0;
}

std::u16string FileGatherer::ResolvedFolder(const std::u16string& folder) const {
  return WithSeparator(ResolvePath(folder, u"", settings_.current_dir));
}

bool FileGatherer::Excluded(const std::u16string& path, bool is_folder) const {
  for (const std::u16string& mask : settings_.exclusions) {
    if (MatchesDiskMask(path, mask, is_folder, settings_.current_dir, settings_.base_dir)) {
      return true;
    }
  }
  return false;
}

bool FileGatherer::AddFoundEntry(const DirEntry& entry, const std::u16string& resolved_folder,
                                 const std::u16string& root) {
  std::u16string path = resolved_folder + entry.name;
  const bool is_folder = IsFolder(entry);
  if (is_folder) path += kPathSeparator;
  if (Excluded(path, is_folder)) return false;
  target_.AddDiskFile(path, root, entry);
  return true;
}

bool FileGatherer::TakeNamedFolder(const std::u16string& folder, const std::u16string& root,
                                   bool recurse) {
  platform::Platform& os = platform::Platform::Current();
  const std::u16string path = os.ExpandPath(folder);
  const std::uint32_t attributes = os.GetAttributes(path);
  if (attributes == attr::kInvalid || (attributes & attr::kDirectory) == 0) return false;
  const bool take_folders = (settings_.search_attr & attr::kDirectory) != 0;
  if (!take_folders && !recurse) return true;
  if (take_folders && WithSeparator(path) != WithSeparator(root)) {
    std::u16string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == kPathSeparator) trimmed.pop_back();
    DirEntry entry;
    entry.name = NamePart(trimmed);
    entry.attributes = attributes;
    entry.dos_time = os.GetLastWriteDosTime(path).value_or(0);
    if (!AddFoundEntry(entry, FolderPart(trimmed), root)) return true;
  }
  ScanDirectory(path, root, u"*.*", true);
  return true;
}

void FileGatherer::ScanDirectory(const std::u16string& dir, const std::u16string& root,
                                 std::u16string mask, bool recurse) {
  const std::uint32_t filter = settings_.search_attr;
  const ResolvedMask resolved = ResolveMask(mask, dir, settings_.current_dir);
  const std::u16string& full = resolved.full;
  if (full.empty()) return;

  // A path that ends in a folder step ("docs/", "docs/.", ".", "./") names that folder: it is
  // taken as a folder named without wildcards, and the base folder, which has no name below
  // itself, gives only its contents (as `zip -r x.zip .` does).
  if (EndsWithFolderStep(full) && TakeNamedFolder(full, root, recurse)) return;

  // One named file or folder: taken as it is, nothing below it.
  if (full == mask && !HasWildcards(mask)) {
    const auto found = Find(full, filter);
    if (!found.empty()) AddFoundEntry(found.front(), ResolvedFolder(FolderPart(full)), root);
    return;
  }

  // Each folder is listed once, for its files and for its subfolders alike.
  const std::uint32_t file_filter = filter & ~attr::kDirectory;
  constexpr std::uint32_t kFolderSearch = attr::kDirectory | attr::kHidden | attr::kSystem;
  std::u16string files_folder = FolderPart(full);
  if (files_folder.empty()) files_folder = WithSeparator(settings_.current_dir);
  std::vector<DirEntry> listed = List(files_folder, file_filter | kFolderSearch);

  constexpr std::uint32_t kPlainFile =
      attr::kArchive | attr::kReadOnly | attr::kHidden | attr::kSystem;
  const std::u16string name_mask = NamePart(full);
  const std::u16string resolved_files_folder = ResolvedFolder(files_folder);
  for (const DirEntry& entry : listed) {
    if (IsFolder(entry) || !PassesFilter(entry, file_filter) || !MatchesName(entry, name_mask)) {
      continue;
    }
    if ((entry.attributes & file_filter) != 0 ||
        (entry.attributes == 0 && (file_filter & kPlainFile) == kPlainFile)) {
      AddFoundEntry(entry, resolved_files_folder, root);
    }
  }

  const bool take_folders = (filter & attr::kDirectory) != 0;
  if (!take_folders && !recurse) return;
  std::u16string sub = FolderPart(full);
  std::u16string resolved_sub =
      sub == files_folder ? resolved_files_folder : ResolvePath(sub, u"", settings_.current_dir);
  if (resolved_sub.find(dir) == std::u16string::npos && resolved.plain_relative) {
    sub = WithSeparator(dir);
    resolved_sub = ResolvePath(sub, u"", settings_.current_dir);
  }
  if (sub != files_folder) listed = List(sub.empty() ? files_folder : sub, kFolderSearch);
  const std::u16string resolved_folder = WithSeparator(resolved_sub);
  for (const DirEntry& folder : listed) {
    if (!IsFolder(folder) || folder.symbolic_link || !PassesFilter(folder, kFolderSearch)) continue;
    const std::u16string path = sub + folder.name;
    if (Excluded(path, true)) continue;
    if (take_folders && (MatchName(path, full) || MatchName(path + u".", full))) {
      if (AddFoundEntry(folder, resolved_folder, root)) {
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
