// libFuzzer target for the crypto library's text formats: any bytes read as text of every
// format, and written as text and read back, which must give the bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "crypto/crypto_errors.h"
#include "crypto/format_registry.h"
#include "crypto/string_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm::crypto;
  const auto len = static_cast<std::ptrdiff_t>(size);
  for (const int number :
       {kFormatCopy, kFormatHex, kFormatHexL, kFormatMime64, kFormatUU, kFormatXX}) {
    try {
      static_cast<void>(DecodeFromFormat(data, len, number));
    } catch (const StringFormatError&) {
      // Text the format cannot read is refused.
    }
    const StringFormat* format = FindStringFormat(number);
    if (format != nullptr) {
      static_cast<void>(format->IsValid(reinterpret_cast<const char*>(data), len, true));
      static_cast<void>(format->IsValid(reinterpret_cast<const char*>(data), len, false));
    }
    const std::string text = EncodeToFormat(data, len, number);
    const std::string back =
        DecodeFromFormat(text.data(), static_cast<std::ptrdiff_t>(text.size()), number);
    if (back != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
  }
  return 0;
}
