#include "archive/hashed_string_list.h"

#include <algorithm>

#include "platform/text.h"

namespace qm::archive {
namespace {

constexpr std::uint32_t kMinValueBuckets = 1000;
constexpr std::uint32_t kNameBuckets = 256;
constexpr std::size_t kMaxStringsPerBucket = 5;

std::u16string_view NamePart(std::u16string_view s) {
  const auto eq = s.find(u'=');
  return eq == std::u16string_view::npos ? s : s.substr(0, eq);
}

}  // namespace

HashedStringList::HashedStringList() = default;
HashedStringList::~HashedStringList() = default;

std::u16string HashedStringList::Key(std::u16string_view s) const {
  return case_sensitive_ ? std::u16string(s) : platform::AsciiLower(s);
}

template <typename F>
auto HashedStringList::WithKey(std::u16string_view s, F&& f) const {
  // The directory hands in names already lower-cased: no copy for those.
  const bool has_upper =
      !case_sensitive_ && std::any_of(s.begin(), s.end(), [](char16_t c) {
        return c >= u'A' && c <= u'Z';
      });
  if (!has_upper) return f(s);
  const std::u16string key = platform::AsciiLower(s);
  return f(std::u16string_view(key));
}

bool HashedStringList::KeyEquals(std::u16string_view s, std::u16string_view key) const {
  if (s.size() != key.size()) return false;
  if (case_sensitive_) return s == key;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    const char16_t lower = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (lower != key[i]) return false;
  }
  return true;
}

void HashedStringList::SetCaseSensitive(bool value) {
  if (value == case_sensitive_) return;
  case_sensitive_ = value;
  value_hash_valid_ = false;
  name_hash_valid_ = false;
}

std::int32_t HashedStringList::Add(std::u16string s) {
  const auto index = static_cast<std::int32_t>(strings_.size());
  strings_.push_back(std::move(s));
  if (value_hash_ && value_hash_valid_) {
    WithKey(strings_.back(), [&](std::u16string_view key) { value_hash_->Add(key, index); });
    if (strings_.size() > kMaxStringsPerBucket * value_hash_->Size()) {
      value_hash_.reset();  // rebuilt, larger, at the next lookup
      value_hash_valid_ = false;
    }
  }
  name_hash_valid_ = false;
  return index;
}

void HashedStringList::Update(std::int32_t index, std::u16string new_value) {
  auto& slot = strings_.at(static_cast<std::size_t>(index));
  const bool hashed = value_hash_ && value_hash_valid_;
  if (hashed) WithKey(slot, [&](std::u16string_view key) { value_hash_->Remove(key); });
  slot = std::move(new_value);
  if (hashed) WithKey(slot, [&](std::u16string_view key) { value_hash_->Add(key, index); });
  name_hash_valid_ = false;
}

void HashedStringList::Delete(std::int32_t index) {
  strings_.erase(strings_.begin() + index);
  value_hash_valid_ = false;
  name_hash_valid_ = false;
}

void HashedStringList::Clear() {
  strings_.clear();
  if (value_hash_) value_hash_->Clear();
  name_hash_valid_ = false;
}

void HashedStringList::UpdateValueHash() {
  if (!value_hash_) {
    const auto size = std::max<std::uint32_t>(static_cast<std::uint32_t>(strings_.size()),
                                              kMinValueBuckets);
    value_hash_ = std::make_unique<StringHash>(
        size, [this](std::int32_t value, std::u16string_view key) {
          return KeyEquals(strings_[static_cast<std::size_t>(value)], key);
        });
    value_hash_valid_ = false;
  }
  if (value_hash_valid_) return;
  value_hash_->Clear();
  for (std::size_t i = 0; i < strings_.size(); ++i) {
    WithKey(strings_[i], [&](std::u16string_view key) {
      value_hash_->Add(key, static_cast<std::int32_t>(i));
    });
  }
  value_hash_valid_ = true;
}

void HashedStringList::UpdateNameHash() {
  if (!name_hash_) {
    name_hash_ = std::make_unique<StringHash>(
        kNameBuckets, [this](std::int32_t value, std::u16string_view key) {
          return KeyEquals(NamePart(strings_[static_cast<std::size_t>(value)]), key);
        });
    name_hash_valid_ = false;
  }
  if (name_hash_valid_) return;
  name_hash_->Clear();
  for (std::size_t i = 0; i < strings_.size(); ++i) {
    if (strings_[i].find(u'=') == std::u16string::npos) continue;
    name_hash_->Add(Key(NamePart(strings_[i])), static_cast<std::int32_t>(i));
  }
  name_hash_valid_ = true;
}

std::int32_t HashedStringList::IndexOf(std::u16string_view s) {
  UpdateValueHash();
  return WithKey(s, [&](std::u16string_view key) { return value_hash_->ValueOf(key); });
}

std::int32_t HashedStringList::IndexOfName(std::u16string_view name) {
  UpdateNameHash();
  return name_hash_->ValueOf(Key(name));
}

}  // namespace qm::archive
