#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace qm::archive {

// What the walk hands on: a file or folder found on disk that no exclusion mask holds back.
class GatherTarget {
 public:
  virtual ~GatherTarget() = default;
  // `full_path` ends with the separator for a folder; `root` is the folder stored names are
  // made relative to.
  virtual void AddDiskFile(const std::u16string& full_path, const std::u16string& root,
                           const platform::DirEntry& entry) = 0;
};

struct GatherSettings {
  // The resolved base folder of the walk; relative masks start here.
  std::u16string current_dir;
  // The component's BaseDir (relative exclusion masks are also tried against it).
  std::u16string base_dir;
  std::vector<std::u16string> exclusions;
  // Attribute filter: which files are taken; with the folder bit 0x10, matching folders are
  // added as entries and walked.
  std::uint32_t search_attr = 0;
  // More than one mask is to be walked: folder listings are kept for the masks after the first
  // (a recursive mask is looked for in every folder below its own, so each one lists the same
  // folders again).
  bool keep_listings = false;
};

// Walks disk folders for one mask at a time, through the platform's directory listing.
// Symbolic links to folders are neither added nor entered (a link can lead back up the tree
// and the walk would never end); links to files are taken as the files they point to.
class FileGatherer {
 public:
  FileGatherer(GatherSettings settings, GatherTarget& target)
      : settings_(std::move(settings)), target_(target) {}

  // Adds what `mask` finds in `dir` (and, with `recurse`, below it).
  void ScanDirectory(const std::u16string& dir, const std::u16string& root, std::u16string mask,
                     bool recurse);

 private:
  // Hands one found entry of `resolved_folder` (full, with its final separator) on unless an
  // exclusion mask holds it back; true when handed on.
  bool AddFoundEntry(const platform::DirEntry& entry, const std::u16string& resolved_folder,
                     const std::u16string& root);
  // A folder named by its path: taken (unless it is `root`) and walked. False when no folder
  // of that name exists.
  bool TakeNamedFolder(const std::u16string& folder, const std::u16string& root, bool recurse);
  bool Excluded(const std::u16string& path, bool is_folder) const;
  // The entries of the folder part of `pattern` whose names its name part finds.
  std::vector<platform::DirEntry> Find(const std::u16string& pattern, std::uint32_t filter) const;
  std::vector<platform::DirEntry> List(const std::u16string& folder, std::uint32_t filter) const;
  // A listed folder's full path with its final separator, resolved once per listing.
  std::u16string ResolvedFolder(const std::u16string& folder) const;
  static bool MatchesName(const platform::DirEntry& entry, const std::u16string& name_mask);
  // The listing's own filter, applied again to a listing taken with a wider one.
  static bool PassesFilter(const platform::DirEntry& entry, std::uint32_t filter);

  GatherSettings settings_;
  GatherTarget& target_;
  // With keep_listings: each folder's listing by its path as walked and the filter, up to
  // kMaxKeptEntries entries in all (beyond that, folders are listed again).
  static constexpr std::size_t kMaxKeptEntries = std::size_t{1} << 18;
  mutable std::map<std::pair<std::u16string, std::uint32_t>, std::vector<platform::DirEntry>>
      listings_;
  mutable std::size_t kept_entries_ = 0;
};

}  // namespace qm::archive
