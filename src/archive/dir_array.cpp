#include "archive/dir_array.h"

#include <algorithm>

#include "archive/archive_error.h"
#include "platform/text.h"

namespace qm::archive {

using platform::AsciiLower;

void DirArray::CheckIndex(std::int32_t index, int native_error) const {
  if (index < 0 || index >= item_count_) throw ArchiveError(native_error);
}

void DirArray::SetCount(std::int32_t value) {
  if (value < 0) value = 0;
  const auto capacity = static_cast<std::int32_t>(items_.size());
  if (value > capacity) {
    alloc_by_ = std::min(alloc_by_ * 2, kMaxAllocBy);
    const std::int32_t grown = capacity + alloc_by_;
    const std::int32_t new_capacity = grown <= value ? value : grown;
    // Only the live items move; the rest of the new slots start empty.
    std::vector<DirItem> slots(static_cast<std::size_t>(new_capacity));
    std::move(items_.begin(), items_.begin() + item_count_, slots.begin());
    items_ = std::move(slots);
    item_names_.Reserve(static_cast<std::size_t>(new_capacity));
  } else if (value == 0) {
    items_.clear();
    items_.shrink_to_fit();
  } else {
    // Slots leaving or re-entering the live range are emptied, so that nothing of an item
    // that was cut off (an owned stream above all) lingers or comes back.
    const auto lo = std::min(value, item_count_);
    const auto hi = std::max(value, item_count_);
    for (auto i = lo; i < hi; ++i) items_[static_cast<std::size_t>(i)] = DirItem{};
  }
  item_count_ = value;
}

const DirItem& DirArray::GetItem(std::int32_t index) const {
  CheckIndex(index, 2);
  return items_[static_cast<std::size_t>(index)];
}

DirItem* DirArray::ItemPtr(std::int32_t index) {
  CheckIndex(index, 3);
  return &items_[static_cast<std::size_t>(index)];
}

void DirArray::SetItem(std::int32_t index, const DirItem& item) {
  CheckIndex(index, 1);
  if (index < item_names_.Count()) {
    item_names_.Update(index, AsciiLower(item.Name));
  } else {
    if (item_names_.Count() != index) throw ArchiveError(58);
    item_names_.Add(AsciiLower(item.Name));
  }
  items_[static_cast<std::size_t>(index)] = item;
}

void DirArray::SetItemName(std::int32_t index, std::u16string name) {
  DirItem& item = items_.at(static_cast<std::size_t>(index));
  const std::int32_t k = item_names_.IndexOf(AsciiLower(item.Name));
  if (k < 0) {
    item_names_.Add(AsciiLower(name));
  } else if (k == index) {
    item_names_.Update(k, AsciiLower(name));
  } else {
    throw ArchiveError(59);
  }
  item.Name = std::move(name);
}

bool DirArray::FileExists(std::u16string_view file_name, std::int32_t& item_no) {
  item_no = item_names_.IndexOf(AsciiLower(file_name));
  return item_no >= 0;
}

void DirArray::DeleteItem(std::int32_t index) {
  CheckIndex(index, 4);
  DirItem& item = items_[static_cast<std::size_t>(index)];
  const std::int32_t k = item_names_.IndexOf(AsciiLower(item.Name));
  if (k >= 0) item_names_.Delete(k);
  std::move(items_.begin() + index + 1, items_.begin() + item_count_, items_.begin() + index);
  --item_count_;
  // The vacated slot keeps nothing of the item that moved out of it (and an owned stream of
  // the deleted item went with the move).
  items_[static_cast<std::size_t>(item_count_)] = DirItem{};
}

void DirArray::Clear() {
  for (std::int32_t i = 0; i < item_count_; ++i) items_[static_cast<std::size_t>(i)] = DirItem{};
  item_count_ = 0;
  item_names_.Clear();
}

void DirArray::ClearTags() {
  for (std::int32_t i = 0; i < item_count_; ++i) items_[static_cast<std::size_t>(i)].Tagged = false;
}

void DirArray::Assign(const DirArray& da) {
  if (&da == this) return;
  Clear();
  SetCount(da.Count());
  for (std::int32_t i = 0; i < da.Count(); ++i) SetItem(i, da.items_[static_cast<std::size_t>(i)]);
}

void DirArray::Append(const DirArray& da) {
  const std::int32_t n = item_count_;
  const std::int32_t m = da.Count();
  SetCount(n + m);
  for (std::int32_t i = 0; i < m; ++i) SetItem(n + i, da.items_[static_cast<std::size_t>(i)]);
}

}  // namespace qm::archive

