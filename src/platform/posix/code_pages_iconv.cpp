// The single-byte code pages, built once from iconv's tables and then used as plain lookups:
// converting a name byte by byte through iconv would be slow, and iconv refuses the five bytes
// Windows-1252 leaves undefined, which Windows itself carries through as U+0081 and the like.
#include <iconv.h>

#include <array>
#include <cstdint>
#include <unordered_map>

#include "platform/text.h"

namespace qm::platform {
namespace {

class CodePage {
 public:
  explicit CodePage(const char* iconv_name) {
    iconv_t cd = iconv_open("UTF-16LE", iconv_name);
    for (int b = 0; b < 256; ++b) {
      char16_t c = static_cast<char16_t>(b);  // the fallback: the byte's own code point
      if (cd != reinterpret_cast<iconv_t>(-1)) {
        char in = static_cast<char>(b);
        unsigned char out[4] = {};
        char* in_ptr = &in;
        char* out_ptr = reinterpret_cast<char*>(out);
        std::size_t in_left = 1, out_left = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1) &&
            out_left == 2) {
          c = static_cast<char16_t>(out[0] | (out[1] << 8));
        }
      }
      to_unicode_[b] = c;
      from_unicode_.emplace(c, static_cast<unsigned char>(b));
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }

  char16_t ToUnicode(unsigned char b) const { return to_unicode_[b]; }
  bool Has(char16_t c) const { return from_unicode_.count(c) != 0; }
  char FromUnicode(char16_t c) const {
    const auto it = from_unicode_.find(c);
    return it == from_unicode_.end() ? '?' : static_cast<char>(it->second);
  }

 private:
  std::array<char16_t, 256> to_unicode_{};
  std::unordered_map<char16_t, unsigned char> from_unicode_;
};

const CodePage& Ansi() {
  static const CodePage page("WINDOWS-1252");
  return page;
}

const CodePage& Oem() {
  static const CodePage page("IBM437");
  return page;
}

std::u16string Decode(const CodePage& page, std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out[i] = page.ToUnicode(static_cast<unsigned char>(bytes[i]));
  }
  return out;
}

std::string Encode(const CodePage& page, std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = page.FromUnicode(text[i]);
  return out;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view bytes) {
  return Decode(Ansi(), bytes);
}
std::string Utf16ToAnsi(std::u16string_view text) {
  return Encode(Ansi(), text);
}
std::u16string OemToUtf16(std::string_view bytes) {
  return Decode(Oem(), bytes);
}
std::string Utf16ToOem(std::u16string_view text) {
  return Encode(Oem(), text);
}
std::string OemToAnsi(std::string_view bytes) {
  return Utf16ToAnsi(OemToUtf16(bytes));
}
std::string AnsiToOem(std::string_view bytes) {
  return Utf16ToOem(AnsiToUtf16(bytes));
}

bool FitsAnsi(std::u16string_view text) {
  for (char16_t c : text) {
    if (!Ansi().Has(c)) return false;
  }
  return true;
}

}  // namespace qm::platform
