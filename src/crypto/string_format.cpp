#include "crypto/string_format.h"

#include <algorithm>
#include <cstring>

#include "crypto/crypto_errors.h"

namespace qm::crypto {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kHexTable = "0123456789ABCDEFX$ abcdefhHx()[]{},;:-_/\\*+\"'\t\n\r"sv;
constexpr std::string_view kHexLowerTable =
    "0123456789abcdefX$ ABCDEFhHx()[]{},;:-_/\\*+\"'\t\n\r"sv;
constexpr std::string_view kMime64Table =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= $()[]{},;:-_\\*\"'\t\n\r"sv;
constexpr std::string_view kUUTable =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_ \t\n\r"sv;
constexpr std::string_view kXXTable =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz \"()[]'\t\n\r"sv;

static_assert(kHexTable.size() == 48 && kHexLowerTable.size() == 48);
static_assert(kMime64Table.size() == 85 && kUUTable.size() == 68 && kXXTable.size() == 74);

constexpr int kSymbols = 64;
constexpr int kMaxLineBytes = 45;

int IndexIn(std::string_view table, char c) {
  const auto pos = table.find(c);
  return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[noreturn]] void ThrowInvalid(const StringFormat& format) {
  throw StringFormatError(
      detail::FormatMessage(messages::kInvalidFormatInput, {std::string(format.Name())}));
}

}  // namespace

std::size_t StringFormat::Length(const char* value, std::ptrdiff_t len) {
  if (value == nullptr) return 0;
  if (len < 0) return std::strlen(value);
  return static_cast<std::size_t>(len);
}

bool StringFormat::AllInTable(const char* value, std::size_t len) const {
  const auto table = CharTable();
  return std::all_of(value, value + len,
                     [&](char c) { return table.find(c) != std::string_view::npos; });
}

std::string StringFormat::ToStr(const char* value, std::ptrdiff_t len) const {
  return std::string(value ? value : "", Length(value, len));
}

std::string StringFormat::StrTo(const char* value, std::ptrdiff_t len) const {
  return std::string(value ? value : "", Length(value, len));
}

bool StringFormat::IsValid(const char*, std::ptrdiff_t, bool) const {
  return true;
}

// --- Hexadecimal

std::string_view HexFormat::CharTable() const {
  return kHexTable;
}
std::string_view HexLowerFormat::CharTable() const {
  return kHexLowerTable;
}

std::string HexFormat::StrTo(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  const auto digits = CharTable().substr(0, 16);
  std::string out;
  out.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(value[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string HexFormat::ToStr(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  std::string lowered(CharTable().substr(0, 18));
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
  std::string out;
  bool marker_seen = false;
  bool high_pending = false;
  unsigned high = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int index = IndexIn(lowered, Lower(value[i]));
    if (index < 0) continue;
    if (index >= 16) {
      if (!marker_seen) {
        marker_seen = true;
        out.clear();
        high_pending = false;
      }
      continue;
    }
    if (!high_pending) {
      high = static_cast<unsigned>(index);
      high_pending = true;
    } else {
      out += static_cast<char>((high << 4) | static_cast<unsigned>(index));
      high_pending = false;
    }
  }
  return out;
}

bool HexFormat::IsValid(const char* value, std::ptrdiff_t len, bool to_str) const {
  return !to_str || AllInTable(value, Length(value, len));
}

// --- MIME Base 64

std::string_view Mime64Format::CharTable() const {
  return kMime64Table;
}

std::string Mime64Format::StrTo(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  const auto sym = CharTable();
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  for (std::size_t i = 0; i < n; i += 3) {
    const std::size_t k = std::min<std::size_t>(3, n - i);
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      group = (group << 8) | (j < k ? static_cast<unsigned char>(value[i + j]) : 0u);
    }
    out += sym[(group >> 18) & 63];
    out += sym[(group >> 12) & 63];
    out += k > 1 ? sym[(group >> 6) & 63] : '=';
    out += k > 2 ? sym[group & 63] : '=';
  }
  return out;
}

// The padding and the output length are worked out from the symbols alone, so spaces and line
// breaks between them change nothing.
std::string Mime64Format::ToStr(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  const auto symbols = CharTable().substr(0, 65);
  std::string text;
  text.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (symbols.find(value[i]) != std::string_view::npos) text += value[i];
  }
  while (text.size() % 4 != 0) text += '=';
  const auto pads = static_cast<std::size_t>(std::count(text.begin(), text.end(), '='));
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const int index = IndexIn(symbols, text[i + j]);
      group = (group << 6) | (index >= kSymbols ? 0u : static_cast<std::uint32_t>(index));
    }
    out += static_cast<char>(group >> 16);
    out += static_cast<char>(group >> 8);
    out += static_cast<char>(group);
  }
  const std::size_t length = text.size() / 4 * 3;
  out.resize(length > pads ? length - pads : 0);
  return out;
}

// --- UU and XX

std::string_view UUFormat::CharTable() const {
  return kUUTable;
}
std::string_view XXFormat::CharTable() const {
  return kXXTable;
}

std::string UUFormat::StrTo(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  const auto sym = CharTable();
  std::string out;
  for (std::size_t pos = 0; pos < n; pos += kMaxLineBytes) {
    const std::size_t line = std::min<std::size_t>(kMaxLineBytes, n - pos);
    out += sym[line];
    for (std::size_t i = 0; i < line; i += 3) {
      std::uint32_t group = 0;
      for (std::size_t j = 0; j < 3; ++j) {
        const std::size_t at = pos + i + j;
        group = (group << 8) | (i + j < line ? static_cast<unsigned char>(value[at]) : 0u);
      }
      out += sym[(group >> 18) & 63];
      out += sym[(group >> 12) & 63];
      out += sym[(group >> 6) & 63];
      out += sym[group & 63];
    }
  }
  return out;
}

// Between lines, the table's non-symbol characters (space, tab, line breaks) are passed over,
// so text broken into lines reads as well. A group cut short by the end of the text reads as
// if completed with zero symbols: text with only the (4n + 2) / 3 symbols a line needs is read.
std::string UUFormat::ToStr(const char* value, std::ptrdiff_t len) const {
  const std::size_t n = Length(value, len);
  const auto table = CharTable();
  const auto symbols = table.substr(0, kSymbols);
  std::string out;
  std::size_t i = 0;
  while (i < n) {
    const char c = value[i++];
    const int length = IndexIn(symbols, c);
    if (length < 0 && table.find(c) != std::string_view::npos) continue;
    if (length < 0 || length > kMaxLineBytes) ThrowInvalid(*this);
    int produced = 0;
    while (produced < length) {
      std::uint32_t group = 0;
      for (int k = 0; k < 4; ++k) {
        int index = -1;
        while (i < n && (index = IndexIn(symbols, value[i++])) < 0) {
        }
        group = (group << 6) | (index < 0 ? 0u : static_cast<std::uint32_t>(index));
      }
      for (int k = 0; k < 3 && produced < length; ++k, ++produced) {
        out += static_cast<char>(group >> (16 - 8 * k));
      }
    }
  }
  return out;
}

bool UUFormat::IsValid(const char* value, std::ptrdiff_t len, bool to_str) const {
  if (!to_str) return true;
  const std::size_t n = Length(value, len);
  if (!AllInTable(value, n)) return false;
  const auto symbols = CharTable().substr(0, kSymbols);
  std::size_t i = 0;
  while (true) {
    while (i < n && IndexIn(symbols, value[i]) < 0) ++i;
    if (i == n) return true;
    const int length = IndexIn(symbols, value[i++]);
    if (length > kMaxLineBytes) return false;
    int needed = (4 * length + 2) / 3;
    while (needed > 0) {
      if (i == n) return false;
      if (IndexIn(symbols, value[i++]) >= 0) --needed;
    }
  }
}

}  // namespace qm::crypto
