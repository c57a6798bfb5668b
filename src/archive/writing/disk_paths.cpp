#include "archive/writing/disk_paths.h"

#include <algorithm>
#include <vector>

#include "archive/names/file_masks.h"
#include "archive/names/path_rules.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;

bool SamePathText(std::u16string_view a, std::u16string_view b) {
  return platform::AsciiLower(a) == platform::AsciiLower(b);
}

std::vector<std::u16string_view> Components(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == kPathSeparator) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// "/" separates folders in a mask on every platform, as Windows itself accepts it.
std::u16string WithNativeSeparators(std::u16string mask) {
  std::replace(mask.begin(), mask.end(), u'/', kPathSeparator);
  return mask;
}

std::u16string WithSeparator(std::u16string path) {
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

// The part of a path that names its drive or server ("C:", "\\srv\share"); empty on platforms
// without them and for paths without one.
std::size_t RootLength(std::u16string_view path) {
  if (!PlatformHasDrives()) return 0;
  if (path.size() >= 2 && path[1] == u':') return 2;
  if (path.starts_with(u"\\\\")) {
    const std::size_t server_end = path.find(u'\\', 2);
    if (server_end == std::u16string_view::npos) return path.size();
    const std::size_t share_end = path.find(u'\\', server_end + 1);
    return share_end == std::u16string_view::npos ? path.size() : share_end;
  }
  return 0;
}

}  // namespace

std::u16string FolderPart(std::u16string_view path) {
  std::size_t cut = path.find_last_of(kPathSeparator);
  if (PlatformHasDrives()) {
    const std::size_t colon = path.find_last_of(u':');
    if (colon != std::u16string_view::npos && (cut == std::u16string_view::npos || colon > cut))
      cut = colon;
  }
  return cut == std::u16string_view::npos ? std::u16string()
                                          : std::u16string(path.substr(0, cut + 1));
}

std::u16string NamePart(std::u16string_view path) {
  return std::u16string(path.substr(FolderPart(path).size()));
}

std::u16string RelativePath(std::u16string_view base, std::u16string_view path) {
  if (!SamePathText(base.substr(0, RootLength(base)), path.substr(0, RootLength(path)))) {
    return std::u16string(path);
  }
  const auto from = Components(base.substr(RootLength(base)));
  const auto to = Components(path.substr(RootLength(path)));
  std::size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
  std::u16string result;
  for (std::size_t i = common; i < from.size(); ++i)
    result += std::u16string(u"..") + kPathSeparator;
  for (std::size_t i = common; i < to.size(); ++i) {
    result += to[i];
    if (i + 1 < to.size()) result += kPathSeparator;
  }
  if (!path.empty() && path.back() == kPathSeparator && common < to.size()) {
    result += kPathSeparator;
  }
  return result;
}

std::u16string BuildStoredName(const std::u16string& source, const std::u16string& base,
                               StorePathMode store_path, const std::u16string& cur_dir) {
  return StoredNameBelow(source, ResolvePath(base, u"", cur_dir), store_path, cur_dir);
}

std::u16string StoredNameBelow(const std::u16string& source, const std::u16string& b,
                               StorePathMode store_path, const std::u16string& cur_dir) {
  std::u16string s = ResolvePath(b, source, cur_dir);
  if (!s.empty() && (s.back() == kPathSeparator || s.back() == u'/')) s.pop_back();
  if (!s.empty() && s.back() == u'.') s.pop_back();

  switch (store_path) {
    case StorePathMode::spNoPath:
      s = NamePart(s);
      break;
    case StorePathMode::spRelativePath: {
      const std::u16string relative = RelativePath(WithSeparator(b.empty() ? cur_dir : b), s);
      const std::u16string up = std::u16string(u"..") + kPathSeparator;
      if (relative.find(up) == std::u16string::npos &&
          relative.find(u"../") == std::u16string::npos && relative != u"..") {
        s = relative;
      }
      break;
    }
    case StorePathMode::spFullPath:
      break;
    case StorePathMode::spFullPathWithDrive:
      s = platform::Platform::Current().ExpandPath(s);
      break;
  }

  std::size_t start = 0;
  if (store_path != StorePathMode::spFullPathWithDrive) {
    start = RootLength(s);
    if (start > 0 && s[1] == u':') {
      start = 2;
    } else if (start > 0) {
      // A server path: the server is dropped, the share stays (\\srv\share\x -> share/x).
      start = s.find(u'\\', 2);
    }
    if (start >= s.size()) return {};
    if (s[start] == kPathSeparator || s[start] == u'/') ++start;
  }
  std::u16string name = s.substr(std::min(start, s.size()));
  std::replace(name.begin(), name.end(), kPathSeparator, u'/');
  return name;
}

ResolvedMask ResolveMask(const std::u16string& mask, const std::u16string& dir,
                         const std::u16string& cur_dir) {
  if (mask.empty()) return {};
  return MaskInFolder(mask, ResolvePath(dir, u"", cur_dir));
}

ResolvedMask MaskInFolder(const std::u16string& mask_in, const std::u16string& resolved_dir) {
  if (mask_in.empty()) return {};
  const std::u16string mask = WithNativeSeparators(mask_in);
  const std::u16string d = WithSeparator(resolved_dir);
  auto separator = [](char16_t c) { return c == u'/' || c == kPathSeparator; };
  if (mask.size() == 1 && separator(mask[0])) return {resolved_dir, false};
  if (mask.size() >= 2 && separator(mask[0]) && separator(mask[1])) return {mask, false};
  if (separator(mask[0])) {
    // Where paths have drives, "\x" is relative to the folder; elsewhere "/x" is absolute.
    if (!PlatformHasDrives()) return {mask, false};
    return {d + mask.substr(1), false};
  }
  if (mask.size() >= 2 && mask[0] == u'.' && separator(mask[1])) return {d + mask.substr(2), false};
  if ((PlatformHasDrives() && mask.find(u':') != std::u16string::npos) ||
      mask.find(u"..\\") != std::u16string::npos || mask.find(u"../") != std::u16string::npos) {
    return {mask, false};
  }
  return {d + mask, true};
}

bool MatchesDiskMask(const std::u16string& path_in, const std::u16string& mask_in, bool is_folder,
                     const std::u16string& cur_dir, const std::u16string& base_dir) {
  if (mask_in == u"*.*") return true;
  std::u16string path = path_in;
  std::u16string mask = WithNativeSeparators(mask_in);
  if (is_folder) {
    path = WithSeparator(path);
    if (!mask.empty() && mask.back() != u'*') mask = WithSeparator(mask);
  }
  ResolvedMask resolved;
  if (PlatformHasDrives() && mask.find(u':') != std::u16string::npos) {
    resolved = {mask, false};
  } else {
    resolved = MaskInFolder(mask, cur_dir);
  }
  const std::u16string& full = resolved.full;

  if (resolved.plain_relative) {
    std::u16string name = RelativePath(WithSeparator(cur_dir), path);
    const bool mask_has_folders = mask.find(u'/') != std::u16string::npos ||
                                  mask.find(kPathSeparator) != std::u16string::npos;
    if (!mask_has_folders) name = NamePart(name);
    if (name.empty()) {
      std::u16string trimmed = path;
      if (!trimmed.empty() && trimmed.back() == kPathSeparator) trimmed.pop_back();
      name = NamePart(trimmed);
    }
    if (MatchName(name, NamePart(full))) return true;
    const std::u16string base = WithSeparator(base_dir.empty() ? cur_dir : base_dir);
    return MatchName(name, RelativePath(base, full));
  }

  const std::u16string path_folder = FolderPart(path);
  const std::u16string mask_folder = FolderPart(full);
  if (SamePathText(path_folder, mask_folder)) return MatchName(path, full);
  if (NamePart(full) == u"*.*" && path_folder.size() >= mask_folder.size() &&
      SamePathText(std::u16string_view(path_folder).substr(0, mask_folder.size()), mask_folder)) {
    return true;
  }
  return false;
}

}  // namespace qm::archive
