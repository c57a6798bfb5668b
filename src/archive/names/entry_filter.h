#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm::archive {

// Which stored names ("/"-separated, a folder's with a trailing "/") a search takes, in one of
// the search's two forms. Pure: it knows names and masks, nothing of an archive. It refers to
// the masks it is given, which must outlive it; it is made for one search step.
class EntryFilter {
 public:
  // The list form: a name is taken when one of `masks` matches it whole and none of
  // `exclusions` does. Masks and names meet with `separator` between folders ("/" in a mask
  // separates folders too), so that a mask reads as a path of the platform does.
  static EntryFilter ForMaskLists(const std::vector<std::u16string>& masks,
                                  const std::vector<std::u16string>& exclusions,
                                  char16_t separator);
  // The single-mask form: `mask` ("/"-separated) matches the whole name, without its trailing
  // "/", or its last part; `exclusion` the whole name. Unless `recurse`, only the names in
  // the mask's own folder are taken (folders compared without case, A to Z).
  static EntryFilter ForMask(std::u16string_view mask, std::u16string_view exclusion, bool recurse);

  bool Takes(std::u16string_view stored_name) const;

 private:
  bool TakesByLists(std::u16string_view stored_name) const;
  bool TakesByMask(std::u16string_view stored_name) const;

  bool by_lists_ = false;
  char16_t separator_ = u'/';
  const std::vector<std::u16string>* masks_ = nullptr;
  const std::vector<std::u16string>* exclusions_ = nullptr;
  // The lists with the separator swapped in, where it is not "/".
  std::vector<std::u16string> native_masks_;
  std::vector<std::u16string> native_exclusions_;
  std::u16string_view mask_;
  std::u16string_view exclusion_;
  // Unless recursing, the folder the mask names, lower case; set for the single-mask form.
  bool in_mask_folder_only_ = false;
  std::u16string mask_folder_;
  // The stored name with the separator swapped in, kept between calls for its room.
  mutable std::u16string native_name_;
};

// The folder part of a stored name or mask, "/"-separated, with its trailing "/"; empty when
// there is none. "\" counts as a separator too.
std::u16string FolderOfName(std::u16string_view name);
// The name without one trailing "/" or "\".
std::u16string_view WithoutTrailingSlash(std::u16string_view name);

}  // namespace qm::archive
