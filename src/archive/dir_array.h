#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/dir_item.h"
#include "archive/hashed_string_list.h"

namespace qm::archive {

// The directory of an open archive: the items and, beside them, the list of their
// ASCII-lower-cased names with a hash, so that a name is found in constant time. Slots are
// allocated in growing steps (1000, then doubling up to 10000 items at a time), so loading a
// large directory does not reallocate per entry.
//
// Invariant: the name list holds exactly Count() strings, string i being the lower-cased
// Name of item i. Index errors raise ArchiveError with the native numbers 1 to 4; a name list
// out of step raises 58 or 59.
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

  // Native error 2 for a bad index.
  const DirItem& GetItem(std::int32_t index) const;
  // Direct access for in-place changes that keep the name; native error 3 for a bad index.
  DirItem* ItemPtr(std::int32_t index);
  // Replaces item `index` by a copy of `item`; native error 1 for a bad index, 58 when the
  // name list has fewer entries than `index`.
  void SetItem(std::int32_t index, const DirItem& item);
  // Renames item `index` and keeps the name list in step; native error 59 when it is not.
  void SetItemName(std::int32_t index, std::u16string name);
  // Exact name, ASCII case-insensitive; `item_no` is the highest index with that name or -1.
  bool FileExists(std::u16string_view file_name, std::int32_t& item_no);
  // Native error 4 for a bad index.
  void DeleteItem(std::int32_t index);
  // Removes every item; the capacity stays.
  void Clear();
  void ClearTags();
  // Makes this a deep copy of `da`.
  void Assign(const DirArray& da);
  void Append(const DirArray& da);

  const HashedStringList& ItemNames() const { return item_names_; }

 private:
  void CheckIndex(std::int32_t index, int native_error) const;

  std::vector<DirItem> items_;  // the slots; the size is the capacity
  HashedStringList item_names_;
  std::int32_t alloc_by_ = kInitialAllocBy;
  std::int32_t item_count_ = 0;
};

}  // namespace qm::archive
