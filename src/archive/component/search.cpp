#include <algorithm>

#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/file_masks.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::AsciiLower;
using platform::kPathSeparator;

bool HasDrives() {
  return kPathSeparator == u'\\';
}

std::u16string_view WithoutTrailingSlashView(std::u16string_view name) {
  if (!name.empty() && (name.back() == u'/' || name.back() == u'\\')) name.remove_suffix(1);
  return name;
}

std::u16string WithoutTrailingSlash(std::u16string_view name) {
  return std::u16string(WithoutTrailingSlashView(name));
}

// The folder part of a stored name or mask, "/"-separated, with its trailing "/".
std::u16string FolderOf(std::u16string_view name) {
  std::u16string s = WithoutTrailingSlash(name);
  std::replace(s.begin(), s.end(), u'\\', u'/');
  const auto slash = s.find_last_of(u'/');
  return slash == std::u16string::npos ? std::u16string() : s.substr(0, slash + 1);
}

std::u16string_view FileNamePart(std::u16string_view name) {
  const auto slash = name.find_last_of(u"/\\");
  return slash == std::u16string_view::npos ? name : name.substr(slash + 1);
}

// A drive ("C:") or server share ("\\server\share") in front of a mask is not part of any
// stored name.
std::u16string StripDriveOrShare(std::u16string mask) {
  if (mask.size() >= 2 && mask[1] == u':') return mask.substr(2);
  if (mask.starts_with(u"\\\\")) {
    const auto server_end = mask.find(u'\\', 2);
    if (server_end == std::u16string::npos) return {};
    const auto share_end = mask.find(u'\\', server_end + 1);
    return share_end == std::u16string::npos ? std::u16string() : mask.substr(share_end);
  }
  return mask;
}

}  // namespace

bool BaseArchiver::FindFirst(ArchiveItem& f) {
  f.Handle.UseProperties = true;
  f.Handle.find_attr_ = options_.SearchAttr;
  f.Handle.ItemNo = 0;
  return FindFrom(f);
}

bool BaseArchiver::FindFirst(const std::u16string& file_mask, ArchiveItem& f,
                             std::int32_t search_attr, const std::u16string& exclusion_mask) {
  std::u16string mask = file_mask;
  if (HasDrives() && options_.StorePath != StorePathMode::spFullPathWithDrive) {
    mask = StripDriveOrShare(std::move(mask));
  }
  std::replace(mask.begin(), mask.end(), u'\\', u'/');
  f.Handle.CFindMask = std::move(mask);
  f.Handle.wild_cards_ = f.Handle.CFindMask.find_first_of(u"*?") != std::u16string::npos;
  f.Handle.UseProperties = false;
  f.Handle.find_attr_ = search_attr;
  f.Handle.ExclusionMask = exclusion_mask;
  f.Handle.ItemNo = 0;
  return FindFrom(f);
}

bool BaseArchiver::FindNext(ArchiveItem& f) {
  ++f.Handle.ItemNo;
  return FindFrom(f);
}

bool BaseArchiver::FindItemIndex(const std::u16string& file_name, std::int32_t& item_no) {
  CheckOpen();
  if (dir_manager_->CDir.FileExists(file_name, item_no)) return true;
  ArchiveItem record;
  const bool found = FindFirst(file_name, record, ArchiveOptions::kDefaultSearchAttr, u"");
  item_no = found ? record.Handle.ItemNo : -1;
  return found;
}

std::int32_t BaseArchiver::FileCount() {
  CheckOpen();
  const bool recurse = options_.Recurse;
  options_.Recurse = true;
  std::int32_t folders = 0;
  try {
    ArchiveItem f;
    for (bool found = FindFirst(u"*.*", f, platform::attr::kDirectory, u""); found;
         found = FindNext(f)) {
      if (f.ExternalFileAttributes & platform::attr::kDirectory) ++folders;
    }
  } catch (...) {
    options_.Recurse = recurse;
    throw;
  }
  options_.Recurse = recurse;
  return dir_manager_->CDir.Count() - folders;
}

// One search step from f.Handle.ItemNo. Searching a closed component finds nothing.
bool BaseArchiver::FindFrom(ArchiveItem& f) {
  if (!active_ || !dir_manager_) return false;
  DirArray& dir = dir_manager_->CDir;
  InternalSearchRec& h = f.Handle;
  if (h.ItemNo < 0) return false;

  std::int32_t found = -1;
  if (!h.UseProperties && !h.wild_cards_ && !options_.Recurse) {
    // An exact name in one folder: the hash answers, without filters.
    std::int32_t k = -1;
    if (dir.FileExists(h.CFindMask, k) && k >= h.ItemNo) found = k;
  } else {
    const std::u16string mask_folder =
        h.UseProperties ? std::u16string() : AsciiLower(FolderOf(h.CFindMask));
    // The list masks meet the names with the platform's separator; "/" in a mask separates
    // folders too. Where that is "/", they are used as they are: a listing steps through
    // every item with them.
    std::vector<std::u16string> native_file_masks;
    std::vector<std::u16string> native_exclusion_masks;
    if (h.UseProperties && kPathSeparator != u'/') {
      auto native = [](std::vector<std::u16string> masks) {
        for (auto& m : masks) std::replace(m.begin(), m.end(), u'/', kPathSeparator);
        return masks;
      };
      native_file_masks = native(file_masks_);
      native_exclusion_masks = native(exclusion_masks_);
    }
    const std::vector<std::u16string>& file_masks =
        kPathSeparator == u'/' ? file_masks_ : native_file_masks;
    const std::vector<std::u16string>& exclusion_masks =
        kPathSeparator == u'/' ? exclusion_masks_ : native_exclusion_masks;
    for (std::int32_t k = h.ItemNo; k < dir.Count() && found < 0; ++k) {
      const DirItem& item = dir.GetItem(k);
      // The list variant matches each mask against the whole name, so its folder parts do the
      // restricting; the folder check belongs to the mask variant.
      if (!options_.Recurse && !h.UseProperties && AsciiLower(FolderOf(item.Name)) != mask_folder) {
        continue;
      }
      bool matches = false;
      if (h.UseProperties) {
        std::u16string platform_name;
        if (kPathSeparator != u'/') {
          platform_name = item.Name;
          std::replace(platform_name.begin(), platform_name.end(), u'/', kPathSeparator);
        }
        const std::u16string_view n = kPathSeparator == u'/' ? item.Name : platform_name;
        matches = std::any_of(file_masks.begin(), file_masks.end(),
                              [&](const std::u16string& m) { return MatchName(n, m); }) &&
                  std::none_of(exclusion_masks.begin(), exclusion_masks.end(),
                               [&](const std::u16string& m) { return MatchName(n, m); });
      } else {
        const std::u16string n = WithoutTrailingSlash(item.Name);
        matches = (MatchName(n, h.CFindMask) || MatchName(FileNamePart(n), h.CFindMask)) &&
                  !MatchName(n, h.ExclusionMask);
      }
      if (!matches) continue;
      const auto attributes = item.CentralDir.externalAttr;
      if ((attributes & platform::attr::kFilterBits & ~static_cast<std::uint32_t>(h.find_attr_)) !=
          0) {
        continue;
      }
      found = k;
    }
  }
  if (found < 0) return false;

  h.ItemNo = found;
  const DirItem& item = dir.GetItem(found);
  // Assigned in place: a caller stepping through every item reuses the strings' room.
  std::u16string_view s = WithoutTrailingSlashView(item.Name);
  std::u16string native;
  if (kPathSeparator != u'/') {
    native = s;
    std::replace(native.begin(), native.end(), u'/', kPathSeparator);
    s = native;
  }
  const auto cut = HasDrives() ? s.find_last_of(u"\\:") : s.find_last_of(kPathSeparator);
  if (cut == std::u16string_view::npos) {
    f.FileName.assign(s);
    f.StoredPath.clear();
  } else {
    f.FileName.assign(s.substr(cut + 1));
    f.StoredPath.assign(s.substr(0, cut + 1));
  }
  f.CompressedSize = static_cast<std::int64_t>(item.CompressedSize());
  f.UncompressedSize = static_cast<std::int64_t>(item.UncompressedSize());
  f.CompressionRate = f.UncompressedSize > 0
                          ? std::max(0.0, (1.0 - static_cast<double>(f.CompressedSize) /
                                                     static_cast<double>(f.UncompressedSize)) *
                                              100.0)
                          : 100.0;
  f.Encrypted = item.IsEncrypted();
  f.LastModFileDate = item.CentralDir.lastModDate;
  f.LastModFileTime = item.CentralDir.lastModTime;
  f.CRC = item.CentralDir.crc32;
  f.ExternalFileAttributes = item.CentralDir.externalAttr;
  f.Comment = item.Record().Comment;
  f.StoredName = item.Name;
  f.CompressionMethod = item.CentralDir.compMethod;
  f.GenPurposeFlag = item.CentralDir.genPurposeFlag;
  return true;
}

}  // namespace qm::archive
