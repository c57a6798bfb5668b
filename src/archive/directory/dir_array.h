#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_item.h"
#include "archive/directory/string_hash.h"

namespace qm::archive {

// The directory of an open archive: the items and a hash of their ASCII-lower-cased names, so
// that a name is found in constant time. Slots are allocated in growing steps (1000, then
// doubling up to 10000 items at a time), so loading a large directory does not reallocate per
// entry.
//
// Items are named in index order (loading, rebuilding and adding all do): the named items are
// always a prefix of the array, and the hash indexes exactly that prefix. The hash keeps no
// copy of the names; it reads them from the items, which keeps a directory of many thousand
// entries at one copy of each name. It is built at the first lookup (naming the items in turn,
// as loading does, needs none: the one name it asks about then is the empty one, which a count
// answers), kept up to date while items are named and renamed, dropped when it outgrows its
// buckets (more than 5 names per bucket) and refilled in index order after a deletion, so that
// among equal names the highest index is found.
//
// Index errors raise ArchiveError with the native numbers 1 to 4; naming out of order raises
// 58 or 59.
class DirArray {
 public:
  static constexpr std::int32_t kInitialAllocBy = 500;
  static constexpr std::int32_t kMaxAllocBy = 10000;

  DirArray() = default;
  DirArray(const DirArray&) = delete;
  DirArray& operator=(const DirArray&) = delete;

  std::int32_t Count() const { return item_count_; }
  void SetCount(std::int32_t value);
  std::int32_t Capacity() const { return static_cast<std::int32_t>(items_.size()); }
  std::int32_t AllocBy() const { return alloc_by_; }
  // How many items (from index 0) have been named.
  std::int32_t NamedCount() const { return named_count_; }

  // `kGetItemIndex` for a bad index.
  const DirItem& GetItem(std::int32_t index) const;
  // Direct access for in-place changes that keep the name; `kItemPointerIndex` for a bad index.
  DirItem* ItemPtr(std::int32_t index);
  // Replaces item `index` by a copy of `item`; `kSetItemIndex` for a bad index,
  // `kNameIndexPosition` when items before it are not named yet.
  void SetItem(std::int32_t index, const DirItem& item);
  // Names or renames item `index`. Naming the next unnamed item fails with `kNameIndexAppend`
  // when its current (empty) name is already taken by an earlier item; naming beyond the next
  // unnamed item fails with 59 too.
  void SetItemName(std::int32_t index, std::u16string name);
  // Exact name, ASCII case-insensitive; `item_no` is the highest index with that name or -1.
  bool FileExists(std::u16string_view file_name, std::int32_t& item_no);
  // The same with every character compared as it is: on a file system that tells a.txt from
  // A.txt, the two are different files.
  bool FileExistsMatchingCase(std::u16string_view file_name, std::int32_t& item_no);
  // `kDeleteItemIndex` for a bad index.
  void DeleteItem(std::int32_t index);
  // Removes every item; the capacity stays.
  void Clear();
  void ClearTags();
  // Makes this a deep copy of `da`.
  void Assign(const DirArray& da);
  void Append(const DirArray& da);

 private:
  void CheckIndex(std::int32_t index, ErrorSite site) const;
  std::int32_t IndexOf(std::u16string_view name);
  std::int32_t IndexOfMatchingCase(std::u16string_view name);
  // Builds the hash, or fills it again after a deletion.
  StringHash& Hash();
  // An earlier named item has the name.
  bool NameTaken(std::u16string_view name);
  void HashAdd(std::int32_t index);
  void HashRemove(std::int32_t index);
  void InvalidateHash() { hash_valid_ = false; }

  std::vector<DirItem> items_;  // the slots; the size is the capacity
  std::int32_t alloc_by_ = kInitialAllocBy;
  std::int32_t item_count_ = 0;
  std::int32_t named_count_ = 0;
  std::unique_ptr<StringHash> name_hash_;
  bool hash_valid_ = false;
  // How many named items have the empty name; kUnknown until counted again.
  static constexpr std::int32_t kUnknown = -1;
  std::int32_t empty_names_ = 0;
};

}  // namespace qm::archive
