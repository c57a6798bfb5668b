#include <algorithm>

#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/entry_filter.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;

bool HasDrives() {
  return kPathSeparator == u'\\';
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

// The first item from h.ItemNo on that the filter takes and whose attributes the search
// allows; -1 when none.
std::int32_t FirstTakenFrom(const DirArray& dir, const InternalSearchRec& h,
                            const EntryFilter& filter) {
  const std::uint32_t refused =
      platform::attr::kFilterBits & ~static_cast<std::uint32_t>(h.find_attr_);
  for (std::int32_t k = h.ItemNo; k < dir.Count(); ++k) {
    const DirItem& item = dir.GetItem(k);
    if ((item.CentralDir.externalAttr & refused) == 0 && filter.Takes(item.Name)) return k;
  }
  return -1;
}

// What a search tells of an item found: its name split at the last separator of the platform,
// its sizes, time, attributes and comment.
void Describe(const DirItem& item, ArchiveItem& f) {
  // Assigned in place: a caller stepping through every item reuses the strings' room.
  std::u16string_view s = WithoutTrailingSlash(item.Name);
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
    const EntryFilter filter =
        h.UseProperties ? EntryFilter::ForMaskLists(file_masks_, exclusion_masks_, kPathSeparator)
                        : EntryFilter::ForMask(h.CFindMask, h.ExclusionMask, options_.Recurse);
    found = FirstTakenFrom(dir, h, filter);
  }
  if (found < 0) return false;
  h.ItemNo = found;
  Describe(dir.GetItem(found), f);
  return true;
}

}  // namespace qm::archive
