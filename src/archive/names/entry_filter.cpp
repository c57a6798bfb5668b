#include "archive/names/entry_filter.h"

#include <algorithm>

#include "archive/names/file_masks.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

std::u16string_view FileNamePart(std::u16string_view name) {
  const auto slash = name.find_last_of(u"/\\");
  return slash == std::u16string_view::npos ? name : name.substr(slash + 1);
}

bool AnyMatches(std::u16string_view name, const std::vector<std::u16string>& masks) {
  return std::any_of(masks.begin(), masks.end(),
                     [&](const std::u16string& m) { return MatchName(name, m); });
}

}  // namespace

std::u16string_view WithoutTrailingSlash(std::u16string_view name) {
  if (!name.empty() && (name.back() == u'/' || name.back() == u'\\')) name.remove_suffix(1);
  return name;
}

std::u16string FolderOfName(std::u16string_view name) {
  std::u16string s(WithoutTrailingSlash(name));
  std::replace(s.begin(), s.end(), u'\\', u'/');
  const auto slash = s.find_last_of(u'/');
  return slash == std::u16string::npos ? std::u16string() : s.substr(0, slash + 1);
}

EntryFilter EntryFilter::ForMaskLists(const std::vector<std::u16string>& masks,
                                      const std::vector<std::u16string>& exclusions,
                                      char16_t separator) {
  EntryFilter filter;
  filter.by_lists_ = true;
  filter.separator_ = separator;
  filter.masks_ = &masks;
  filter.exclusions_ = &exclusions;
  if (separator != u'/') {
    auto native = [separator](std::vector<std::u16string> list) {
      for (auto& m : list) std::replace(m.begin(), m.end(), u'/', separator);
      return list;
    };
    filter.native_masks_ = native(masks);
    filter.native_exclusions_ = native(exclusions);
  }
  return filter;
}

EntryFilter EntryFilter::ForMask(std::u16string_view mask, std::u16string_view exclusion,
                                 bool recurse) {
  EntryFilter filter;
  filter.mask_ = mask;
  filter.exclusion_ = exclusion;
  filter.in_mask_folder_only_ = !recurse;
  if (!recurse) filter.mask_folder_ = platform::AsciiLower(FolderOfName(mask));
  return filter;
}

bool EntryFilter::Takes(std::u16string_view stored_name) const {
  return by_lists_ ? TakesByLists(stored_name) : TakesByMask(stored_name);
}

// Each mask against the whole name: its folder parts do the restricting.
bool EntryFilter::TakesByLists(std::u16string_view stored_name) const {
  if (separator_ == u'/') {
    return AnyMatches(stored_name, *masks_) && !AnyMatches(stored_name, *exclusions_);
  }
  native_name_.assign(stored_name);
  std::replace(native_name_.begin(), native_name_.end(), u'/', separator_);
  return AnyMatches(native_name_, native_masks_) && !AnyMatches(native_name_, native_exclusions_);
}

bool EntryFilter::TakesByMask(std::u16string_view stored_name) const {
  if (in_mask_folder_only_ && platform::AsciiLower(FolderOfName(stored_name)) != mask_folder_) {
    return false;
  }
  const std::u16string_view name = WithoutTrailingSlash(stored_name);
  return (MatchName(name, mask_) || MatchName(FileNamePart(name), mask_)) &&
         !MatchName(name, exclusion_);
}

}  // namespace qm::archive
