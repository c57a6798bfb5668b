#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace qm::archive {

// A chained hash from string keys to 32-bit values with a fixed bucket count. The keys are not
// copied: every value names a string its owner holds, and the owner answers whether the string
// of a value equals a key. That keeps a directory of many thousand names from holding each
// name a third time.
//
// Add puts a new element at the head of its chain without looking for an equal key, so among
// equal keys a lookup finds the one added last.
class StringHash {
 public:
  using KeyMatches = std::function<bool(std::int32_t value, std::u16string_view key)>;

  StringHash(std::uint32_t size, KeyMatches key_matches);

  void Add(std::u16string_view key, std::int32_t value);
  // Room for `count` elements, so that filling does not reallocate.
  void Reserve(std::size_t count);
  void Clear();
  // Unlinks the first element with the key; false when there is none.
  bool Remove(std::u16string_view key);
  // Unlinks the element with the key and that value, leaving equal keys of other values.
  bool Remove(std::u16string_view key, std::int32_t value);
  // The highest value among the elements with the key that `accept` takes (a finer match among
  // the values whose strings the owner calls equal), or -1: of entries that share a name, the
  // last one, whatever order they were linked in.
  std::int32_t HighestValueOf(std::u16string_view key,
                              const std::function<bool(std::int32_t value)>& accept) const;

  std::uint32_t Size() const { return static_cast<std::uint32_t>(buckets_.size()); }

  // h := (h rotated left by 2) xor c over the UTF-16 code units.
  static std::uint32_t HashKey(std::u16string_view key);

 private:
  static constexpr std::int32_t kEnd = -1;
  struct HashItem {
    std::int32_t next;
    std::int32_t value;
    std::uint32_t hash;
  };

  // The link (a bucket head or an element's next) that points at the first element with the
  // key, or at the end of the chain.
  // With `value` >= 0 only the element of that value counts.
  const std::int32_t* FindLink(std::u16string_view key, std::uint32_t hash,
                               std::int32_t value = -1) const;

  std::vector<std::int32_t> buckets_;
  std::vector<HashItem> items_;
  KeyMatches key_matches_;
};

}  // namespace qm::archive
