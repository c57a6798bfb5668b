#include "archive/directory/dir_array.h"

#include <algorithm>

#include "archive/archive_error.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

constexpr std::uint32_t kMinBuckets = 1000;
constexpr std::size_t kMaxNamesPerBucket = 5;

char16_t AsciiLower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

// `name` folded equals `key` (already folded).
bool FoldedEquals(std::u16string_view name, std::u16string_view key) {
  if (name.size() != key.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (AsciiLower(name[i]) != key[i]) return false;
  }
  return true;
}

// Calls f with the folded key of `name`, copying only when folding changes something.
template <typename F>
auto WithKey(std::u16string_view name, F&& f) {
  if (std::none_of(name.begin(), name.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; })) {
    return f(name);
  }
  const std::u16string key = platform::AsciiLower(name);
  return f(std::u16string_view(key));
}

}  // namespace

void DirArray::CheckIndex(std::int32_t index, ErrorSite site) const {
  if (index < 0 || index >= item_count_) throw ArchiveError(site);
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
  if (named_count_ > value) {
    named_count_ = value;
    InvalidateHash();
    empty_names_ = kUnknown;
  }
}

StringHash& DirArray::Hash() {
  if (!name_hash_) {
    const auto buckets =
        std::max<std::uint32_t>(static_cast<std::uint32_t>(named_count_), kMinBuckets);
    name_hash_ =
        std::make_unique<StringHash>(buckets, [this](std::int32_t value, std::u16string_view key) {
          return FoldedEquals(items_[static_cast<std::size_t>(value)].Name, key);
        });
    hash_valid_ = false;
  }
  if (!hash_valid_) {
    name_hash_->Clear();
    name_hash_->Reserve(static_cast<std::size_t>(named_count_));
    for (std::int32_t i = 0; i < named_count_; ++i) {
      WithKey(items_[static_cast<std::size_t>(i)].Name,
              [&](std::u16string_view key) { name_hash_->Add(key, i); });
    }
    hash_valid_ = true;
  }
  return *name_hash_;
}

// Of entries that share a name (shaded jars carry them), a lookup answers the last in the
// directory: the one Java's ZipFile answers and unzip leaves on disk, so that replacing a name
// replaces what readers see, and the same one whatever renames linked the names in between.
std::int32_t DirArray::IndexOf(std::u16string_view name) {
  StringHash& hash = Hash();
  return WithKey(name, [&](std::u16string_view key) {
    return hash.HighestValueOf(key, [](std::int32_t) { return true; });
  });
}

std::int32_t DirArray::IndexOfMatchingCase(std::u16string_view name) {
  StringHash& hash = Hash();
  return WithKey(name, [&](std::u16string_view key) {
    return hash.HighestValueOf(key, [&](std::int32_t value) {
      return items_[static_cast<std::size_t>(value)].Name == name;
    });
  });
}

void DirArray::HashAdd(std::int32_t index) {
  if (!name_hash_ || !hash_valid_) return;
  WithKey(items_[static_cast<std::size_t>(index)].Name,
          [&](std::u16string_view key) { name_hash_->Add(key, index); });
  if (static_cast<std::size_t>(named_count_) > kMaxNamesPerBucket * name_hash_->Size()) {
    name_hash_.reset();  // rebuilt, larger, at the next lookup
    hash_valid_ = false;
  }
}

void DirArray::HashRemove(std::int32_t index) {
  if (!name_hash_ || !hash_valid_) return;
  WithKey(items_[static_cast<std::size_t>(index)].Name,
          [&](std::u16string_view key) { name_hash_->Remove(key, index); });
}

const DirItem& DirArray::GetItem(std::int32_t index) const {
  CheckIndex(index, ErrorSite::kGetItemIndex);
  return items_[static_cast<std::size_t>(index)];
}

DirItem* DirArray::ItemPtr(std::int32_t index) {
  CheckIndex(index, ErrorSite::kItemPointerIndex);
  return &items_[static_cast<std::size_t>(index)];
}

void DirArray::SetItem(std::int32_t index, const DirItem& item) {
  CheckIndex(index, ErrorSite::kSetItemIndex);
  if (index > named_count_) throw ArchiveError(ErrorSite::kNameIndexPosition);
  if (index < named_count_) {
    HashRemove(index);
    items_[static_cast<std::size_t>(index)] = item;
  } else {
    items_[static_cast<std::size_t>(index)] = item;
    ++named_count_;
  }
  empty_names_ = kUnknown;
  HashAdd(index);
}

void DirArray::SetItemName(std::int32_t index, std::u16string name) {
  CheckIndex(index, ErrorSite::kItemPointerIndex);
  DirItem& item = items_[static_cast<std::size_t>(index)];
  if (index < named_count_) {
    HashRemove(index);
    if (empty_names_ != kUnknown) {
      empty_names_ +=
          static_cast<std::int32_t>(name.empty()) - static_cast<std::int32_t>(item.Name.empty());
    }
    if (name != item.Name) item.KeepStoredNameOf();
    item.Name = std::move(name);
    HashAdd(index);
    return;
  }
  // The next unnamed item: its current name must not be taken by an earlier one.
  if (index != named_count_ || NameTaken(item.Name))
    throw ArchiveError(ErrorSite::kNameIndexAppend);
  if (name != item.Name) item.KeepStoredNameOf();
  item.Name = std::move(name);
  ++named_count_;
  if (empty_names_ != kUnknown && item.Name.empty()) ++empty_names_;
  HashAdd(index);
}

bool DirArray::NameTaken(std::u16string_view name) {
  // Loading names every item in turn and asks only this of the empty name; answering it from
  // a count leaves the hash unbuilt until something is looked up (a listing never does).
  if (!name_hash_ && name.empty()) {
    if (empty_names_ == kUnknown) {
      empty_names_ = static_cast<std::int32_t>(
          std::count_if(items_.begin(), items_.begin() + named_count_,
                        [](const DirItem& item) { return item.Name.empty(); }));
    }
    return empty_names_ > 0;
  }
  return IndexOf(name) >= 0;
}

bool DirArray::FileExists(std::u16string_view file_name, std::int32_t& item_no) {
  item_no = IndexOf(file_name);
  return item_no >= 0;
}

bool DirArray::FileExistsMatchingCase(std::u16string_view file_name, std::int32_t& item_no) {
  item_no = IndexOfMatchingCase(file_name);
  return item_no >= 0;
}

void DirArray::DeleteItem(std::int32_t index) {
  CheckIndex(index, ErrorSite::kDeleteItemIndex);
  if (index < named_count_) --named_count_;
  InvalidateHash();
  empty_names_ = kUnknown;
  std::move(items_.begin() + index + 1, items_.begin() + item_count_, items_.begin() + index);
  --item_count_;
  // The vacated slot keeps nothing of the item that moved out of it (and an owned stream of
  // the deleted item went with the move).
  items_[static_cast<std::size_t>(item_count_)] = DirItem{};
}

void DirArray::Clear() {
  for (std::int32_t i = 0; i < item_count_; ++i) items_[static_cast<std::size_t>(i)] = DirItem{};
  item_count_ = 0;
  named_count_ = 0;
  empty_names_ = 0;
  if (name_hash_) name_hash_->Clear();
  hash_valid_ = name_hash_ != nullptr;
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
