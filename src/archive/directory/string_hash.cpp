#include "archive/directory/string_hash.h"

#include <bit>

namespace qm::archive {

StringHash::StringHash(std::uint32_t size, KeyMatches key_matches)
    : buckets_(size == 0 ? 1 : size, kEnd), key_matches_(std::move(key_matches)) {}

std::uint32_t StringHash::HashKey(std::u16string_view key) {
  std::uint32_t h = 0;
  for (char16_t c : key) h = std::rotl(h, 2) ^ c;
  return h;
}

void StringHash::Add(std::u16string_view key, std::int32_t value) {
  const std::uint32_t hash = HashKey(key);
  std::int32_t& head = buckets_[hash % buckets_.size()];
  items_.push_back({head, value, hash});
  head = static_cast<std::int32_t>(items_.size() - 1);
}

void StringHash::Reserve(std::size_t count) {
  items_.reserve(count);
}

void StringHash::Clear() {
  std::fill(buckets_.begin(), buckets_.end(), kEnd);
  items_.clear();
}

const std::int32_t* StringHash::FindLink(std::u16string_view key, std::uint32_t hash,
                                         std::int32_t value) const {
  const std::int32_t* link = &buckets_[hash % buckets_.size()];
  while (*link != kEnd) {
    const HashItem& item = items_[static_cast<std::size_t>(*link)];
    if (item.hash == hash && (value < 0 || item.value == value) && key_matches_(item.value, key)) {
      break;
    }
    link = &item.next;
  }
  return link;
}

bool StringHash::Remove(std::u16string_view key) {
  return Remove(key, -1);
}

bool StringHash::Remove(std::u16string_view key, std::int32_t value) {
  auto* link = const_cast<std::int32_t*>(FindLink(key, HashKey(key), value));
  if (*link == kEnd) return false;
  // The element stays in the pool until the next Clear; only its link goes.
  *link = items_[static_cast<std::size_t>(*link)].next;
  return true;
}

std::int32_t StringHash::HighestValueOf(
    std::u16string_view key, const std::function<bool(std::int32_t value)>& accept) const {
  const std::uint32_t hash = HashKey(key);
  std::int32_t highest = -1;
  for (std::int32_t link = buckets_[hash % buckets_.size()]; link != kEnd;) {
    const HashItem& item = items_[static_cast<std::size_t>(link)];
    if (item.value > highest && item.hash == hash && key_matches_(item.value, key) &&
        accept(item.value)) {
      highest = item.value;
    }
    link = item.next;
  }
  return highest;
}

}  // namespace qm::archive
