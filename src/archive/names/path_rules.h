#pragma once

#include <string>
#include <string_view>

namespace qm::archive {

// Path rules shared by extraction and adding. Paths use the platform separator. Drive letters
// and "\\server" names are honoured only on a platform whose separator is "\".

// Whether disk paths of this platform have drive letters and "\\server" names (and a path
// beginning with one separator is relative to the current drive, not absolute).
bool PlatformHasDrives();

// `base` when it is not empty, else `cur_dir`, ending in a separator.
std::u16string BaseFolder(const std::u16string& base, const std::u16string& cur_dir);

// The full disk path of `name` against the base folder (the current directory when `cur_dir`
// is empty). Drive and server names come back unchanged; an empty name gives the base folder.
std::u16string ResolvePath(const std::u16string& base, const std::u16string& name,
                           const std::u16string& cur_dir);

// Where the last "/" or platform separator of a path stands (npos: none).
std::size_t LastSeparator(std::u16string_view path);

// "A:" or "B:" (where drives exist), or a drive the platform reports as removable.
bool IsRemovableDrive(const std::u16string& file_name);

// Whether an item name, joined to a destination folder, would lead outside it: an absolute
// name, a drive or server name (where the platform has them), or ".." components that climb
// above the folder. Both "/" and the platform separator count as separators.
bool LeadsOutside(std::u16string_view name);
// A name that is a complete path by itself: a drive or server name, or an absolute one.
bool IsCompletePath(std::u16string_view name);

// A stored name as callers and event handlers see it: "/" becomes the platform separator.
std::u16string ForCallers(std::u16string stored_name);

}  // namespace qm::archive
