#include "terminal_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/text.h"

namespace qm::qmzip {
namespace {

// The length of the valid UTF-8 sequence starting at `at`, or 0.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::string Escape(std::string_view text, bool lines) {
  std::string out;
  out.reserve(text.size());
  char buffer[16];
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length = SequenceLength(text, at);
    if (length == 0) {
      std::snprintf(buffer, sizeof buffer, "<x%02X>", c);
      out += buffer;
      ++at;
      continue;
    }
    if (length == 1) {
      if (lines && (c == '\n' || c == '\t')) {
        out += static_cast<char>(c);
      } else if (lines && c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
        // a DOS line end: the line feed alone ends the line
      } else if (c < 0x20 || c == 0x7F) {
        out += '^';
        out += static_cast<char>(c ^ 0x40);
      } else {
        out += static_cast<char>(c);
      }
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
      std::snprintf(buffer, sizeof buffer, "<U+%04X>", static_cast<unsigned char>(text[at + 1]));
      out += buffer;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

}  // namespace

std::string ForTerminal(std::string_view utf8) {
  return Escape(utf8, false);
}
std::string ForTerminalLines(std::string_view utf8) {
  return Escape(utf8, true);
}
std::string ForTerminal(const std::u16string& text) {
  return Escape(platform::Utf16ToUtf8(text), false);
}
void AppendForTerminal(std::string& out, std::u16string_view text) {
  // Printable ASCII, most names, passes as it is without the conversion.
  const bool printable =
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; });
  if (!printable) {
    out += Escape(platform::Utf16ToUtf8(text), false);
    return;
  }
  const std::size_t at = out.size();
  out.resize(at + text.size());
  std::transform(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                 [](char16_t c) { return static_cast<char>(c); });
}

}  // namespace qm::qmzip
