#include "crypto/format_registry.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "crypto/crypto_errors.h"

namespace qm::crypto {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const StringFormat*> formats;

  void Add(const StringFormat* format) {
    if (format == nullptr || format->Format() == -1) return;
    for (auto& entry : formats) {
      if (entry->Format() == format->Format()) {
        entry = format;
        return;
      }
    }
    formats.push_back(format);
  }
};

// The standard formats go in on first use: no dependence on the order of static
// initialisation between files, and nothing to call at start-up.
Registry& TheRegistry() {
  static Registry* registry = [] {
    static const StringFormat copy;
    static const HexFormat hex;
    static const HexLowerFormat hex_lower;
    static const Mime64Format mime64;
    static const UUFormat uu;
    static const XXFormat xx;
    static Registry r;
    for (const StringFormat* f :
         std::initializer_list<const StringFormat*>{&copy, &hex, &hex_lower, &mime64, &uu, &xx}) {
      r.Add(f);
    }
    return &r;
  }();
  return *registry;
}

const StringFormat* Prepare(const void* value, std::ptrdiff_t& len, int number) {
  if (value == nullptr || number == kFormatNone) return nullptr;
  if (len < 0) len = static_cast<std::ptrdiff_t>(std::strlen(static_cast<const char*>(value)));
  if (len == 0) return nullptr;
  const StringFormat* format = FindStringFormat(number);
  if (format == nullptr) {
    throw StringFormatError(
        detail::FormatMessage(messages::kFormatNotExists, {std::to_string(number)}));
  }
  return format;
}

}  // namespace

void RegisterFormats(std::initializer_list<const StringFormat*> formats) {
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (const StringFormat* format : formats) registry.Add(format);
}

const StringFormat* FindStringFormat(int number) {
  if (number == kFormatDefault) number = kFormatMime64;
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (const StringFormat* format : registry.formats) {
    if (format->Format() == number) return format;
  }
  return nullptr;
}

std::string EncodeToFormat(const void* value, std::ptrdiff_t len, int number) {
  const StringFormat* format = Prepare(value, len, number);
  if (format == nullptr) return {};
  const auto* text = static_cast<const char*>(value);
  if (!format->IsValid(text, len, false)) {
    throw StringFormatError(
        detail::FormatMessage(messages::kCannotConvertToFormat, {std::string(format->Name())}));
  }
  return format->StrTo(text, len);
}

std::string DecodeFromFormat(const void* value, std::ptrdiff_t len, int number) {
  const StringFormat* format = Prepare(value, len, number);
  if (format == nullptr) return {};
  const auto* text = static_cast<const char*>(value);
  if (!format->IsValid(text, len, true)) {
    throw StringFormatError(
        detail::FormatMessage(messages::kInvalidFormatInput, {std::string(format->Name())}));
  }
  return format->ToStr(text, len);
}

}  // namespace qm::crypto
