#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/string_hash.h"

namespace qm::archive {

// An ordered list of strings (duplicates allowed, not sorted) with lazily built hashes for
// IndexOf and IndexOfName. Keys are the strings ASCII-lower-cased unless the list is case
// sensitive. The value hash is created at the first lookup, kept up to date by Add and
// Update, dropped when the list outgrows it (more than 5 strings per bucket) and refilled,
// in index order, at the next lookup after a Delete; so IndexOf answers the highest index
// among equal strings.
class HashedStringList {
 public:
  HashedStringList();
  ~HashedStringList();
  HashedStringList(const HashedStringList&) = delete;
  HashedStringList& operator=(const HashedStringList&) = delete;

  std::int32_t Count() const { return static_cast<std::int32_t>(strings_.size()); }
  const std::u16string& operator[](std::int32_t index) const {
    return strings_[static_cast<std::size_t>(index)];
  }
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool value);

  std::int32_t Add(std::u16string s);
  void Update(std::int32_t index, std::u16string new_value);
  void Delete(std::int32_t index);
  void Clear();
  void Reserve(std::size_t count) { strings_.reserve(count); }
  std::int32_t IndexOf(std::u16string_view s);
  // The index of the first "name=value" string whose name part has the key; -1 when none.
  std::int32_t IndexOfName(std::u16string_view name);

 private:
  std::u16string Key(std::u16string_view s) const;
  // Calls f with the key of s, copying only when lower-casing changes something.
  template <typename F>
  auto WithKey(std::u16string_view s, F&& f) const;
  bool KeyEquals(std::u16string_view s, std::u16string_view key) const;
  void UpdateValueHash();
  void UpdateNameHash();

  std::vector<std::u16string> strings_;
  bool case_sensitive_ = false;
  std::unique_ptr<StringHash> value_hash_;
  std::unique_ptr<StringHash> name_hash_;
  bool value_hash_valid_ = false;
  bool name_hash_valid_ = false;
};

}  // namespace qm::archive
