#include "platform/text.h"

#include <cstdint>

namespace qm::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// Decodes one UTF-8 sequence starting at `i`, strictly: no overlong forms, no surrogates, nothing
// above U+10FFFF. Advances `i` past what was consumed (one byte for a bad lead byte).
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra;
  char32_t c;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, c = b0 & 0x07, min = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) return kReplacement;
  return c;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) AppendUtf16(out, DecodeUtf8(text, i));
  return out;
}

std::string Utf16ToModifiedUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : text) {
    // Each UTF-16 unit on its own, surrogates included; NUL in two bytes.
    if (unit == 0) {
      out += static_cast<char>(0xC0);
      out += static_cast<char>(0x80);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::optional<std::u16string> ModifiedUtf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    auto continuation = [&](std::size_t k) -> int {
      if (i + k >= bytes.size()) return -1;
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
    };
    if (b0 >= 0x01 && b0 < 0x80) {
      out += static_cast<char16_t>(b0);
      i += 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      const int b1 = continuation(1);
      if (b1 < 0) return std::nullopt;
      const char16_t c = static_cast<char16_t>(((b0 & 0x1F) << 6) | b1);
      if (c != 0 && c < 0x80) return std::nullopt;  // overlong, except the two-byte NUL
      out += c;
      i += 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      const int b1 = continuation(1);
      const int b2 = continuation(2);
      if (b1 < 0 || b2 < 0) return std::nullopt;
      const char16_t c = static_cast<char16_t>(((b0 & 0x0F) << 12) | (b1 << 6) | b2);
      if (c < 0x800) return std::nullopt;
      out += c;
      i += 3;
    } else {
      return std::nullopt;  // a raw NUL, four-byte forms and stray continuation bytes
    }
  }
  return out;
}

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c;
}

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = AsciiUpper(c);
  return out;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) {
    if (c >= u'A' && c <= u'Z') c += u'a' - u'A';
  }
  return out;
}

}  // namespace qm::platform
