#include "archive/names/stored_names.h"

#include <zlib.h>

#include "platform/text.h"

namespace qm::archive {

StoredName EncodeStoredName(std::u16string_view name) {
  std::string ansi = platform::Utf16ToAnsi(name);
  if (platform::AnsiToUtf16(ansi) == name) return {std::move(ansi), false};
  return {platform::Utf16ToUtf8(name), true};
}

RecordName EncodeRecordName(std::u16string_view name, bool oem_file_names) {
  StoredName stored = EncodeStoredName(name);
  RecordName out{std::move(stored.bytes), stored.utf8, true};
  if (oem_file_names && !out.utf8) {
    out.bytes = platform::AnsiToOem(out.bytes);
    out.exact = DecodeStoredName(OemNameToAnsi(out.bytes)) == name;
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  auto cont = [&](std::size_t at, unsigned lo = 0x80, unsigned hi = 0xBF) {
    return at < n && p[at] >= lo && p[at] <= hi;
  };
  while (i < n) {
    const unsigned c = p[i];
    if (c < 0x80) {
      i += 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      if (!cont(i + 1)) return false;
      i += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      const bool second = c == 0xE0 ? cont(i + 1, 0xA0, 0xBF) : cont(i + 1);
      if (!second || !cont(i + 2)) return false;
      i += 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      const bool second = c == 0xF0   ? cont(i + 1, 0x90, 0xBF)
                          : c == 0xF4 ? cont(i + 1, 0x80, 0x8F)
                                      : cont(i + 1);
      if (!second || !cont(i + 2) || !cont(i + 3)) return false;
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

namespace {

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::u16string DecodeStoredName(std::string_view bytes, bool* as_utf8) {
  if (as_utf8) *as_utf8 = false;
  if (IsAscii(bytes)) {
    // ASCII reads the same in every page: no conversion needed (most names of most archives).
    return std::u16string(bytes.begin(), bytes.end());
  }
  const bool utf8 = IsValidUtf8(bytes);
  if (as_utf8) *as_utf8 = utf8;
  return utf8 ? platform::Utf8ToUtf16(bytes) : platform::AnsiToUtf16(bytes);
}

std::string OemNameToAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  const auto zero = bytes.find('\0');
  if (zero == std::string_view::npos) return platform::OemToAnsi(bytes);
  std::string out = platform::OemToAnsi(bytes.substr(0, zero));
  out.append(bytes.substr(zero));
  return out;
}

namespace {

std::uint32_t NameCrc32(std::string_view bytes) {
  return static_cast<std::uint32_t>(
      ::crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace

std::optional<std::u16string> DecodeInfoZipUnicodePath(std::span<const std::uint8_t> data,
                                                       std::string_view stored_name_bytes) {
  ByteReader in(data);
  InfoZipUnicodePath block;
  if (!block.DecodeFrom(in) || block.version != InfoZipUnicodePath::kVersion) return std::nullopt;
  if (block.nameCrc32 != NameCrc32(stored_name_bytes)) return std::nullopt;
  if (block.utf8Name.empty() || !IsValidUtf8(block.utf8Name)) return std::nullopt;
  return platform::Utf8ToUtf16(block.utf8Name);
}

InfoZipUnicodePath MakeInfoZipUnicodePath(std::u16string_view name,
                                          std::string_view stored_name_bytes) {
  InfoZipUnicodePath block;
  block.nameCrc32 = NameCrc32(stored_name_bytes);
  block.utf8Name = platform::Utf16ToUtf8(name);
  return block;
}

UnicodeExtendedInfo MakeUnicodeExtendedInfo(std::u16string_view name) {
  UnicodeExtendedInfo info;
  info.FName = std::u16string(name);
  return info;
}

}  // namespace qm::archive
