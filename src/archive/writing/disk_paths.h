#pragma once

#include <string>
#include <string_view>

#include "archive/archive_types.h"

namespace qm::archive {

// The path rules of adding files from disk: how a disk path becomes a stored name, how a file
// mask is made full, and how exclusion and no-compression masks match disk paths. Paths use
// the platform separator; drive and server parts exist only where the platform has them.

// The folder part of a path, with its final separator ("" when it has none).
std::u16string FolderPart(std::u16string_view path);
// The text after the last separator (and, where drives exist, after the drive's ':').
std::u16string NamePart(std::u16string_view path);
// `path` relative to the folder `base` ("..<sep>" for every folder of `base` not shared);
// `path` unchanged when they share no root.
std::u16string RelativePath(std::u16string_view base, std::u16string_view path);

// The stored name of the disk file `source` ("/" separators): which part of its path is kept
// depends on `store_path`; `base` (else `cur_dir`) is the folder relative names start from.
// Drive and server parts are dropped except under spFullPathWithDrive. Empty when nothing is
// left (the base folder itself).
std::u16string BuildStoredName(const std::u16string& source, const std::u16string& base,
                               StorePathMode store_path, const std::u16string& cur_dir);
// The same with the base folder already resolved (ResolvePath(base, "", cur_dir)): what the
// walk uses, which resolves its base once rather than for every file.
std::u16string StoredNameBelow(const std::u16string& source, const std::u16string& resolved_base,
                               StorePathMode store_path, const std::u16string& cur_dir);

// A mask made full against the folder `dir` (itself resolved against `cur_dir`). A plain
// relative mask (a name or relative path without "." or ".." steps) is flagged: the walk and
// the mask tests treat it as a pattern for names below any folder.
struct ResolvedMask {
  std::u16string full;
  bool plain_relative = false;
};
ResolvedMask ResolveMask(const std::u16string& mask, const std::u16string& dir,
                         const std::u16string& cur_dir);
// The same against a folder that is already full (`resolved_dir`, as ResolvePath answers it).
ResolvedMask MaskInFolder(const std::u16string& mask, const std::u16string& resolved_dir);

// Whether the disk path `path` (a folder when `is_folder`) matches an exclusion or
// no-compression mask. "*.*" matches everything; a plain relative mask matches the name (or,
// when the mask has folders, the path relative to `cur_dir`, then to `base_dir`); a rooted
// mask matches paths in its folder, and a rooted "<folder><sep>*.*" everything below it.
// Without regard to case; "*" spans separators. `cur_dir` is a full folder path (as the walk
// resolved it): it is taken as it is, without asking the disk.
bool MatchesDiskMask(const std::u16string& path, const std::u16string& mask, bool is_folder,
                     const std::u16string& cur_dir, const std::u16string& base_dir);

}  // namespace qm::archive
