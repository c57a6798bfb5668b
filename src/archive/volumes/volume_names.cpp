#include "archive/volumes/volume_names.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

struct NameParts {
  std::u16string folder;     // up to and with the last separator
  std::u16string base;       // the file name without its extension
  std::u16string extension;  // from the last dot, with it; empty when none
};

bool IsSeparator(char16_t c) {
  return c == u'/' || c == platform::kPathSeparator;
}

NameParts Split(const std::u16string& name) {
  std::size_t file_start = 0;
  for (std::size_t i = name.size(); i > 0; --i) {
    if (IsSeparator(name[i - 1])) {
      file_start = i;
      break;
    }
  }
  NameParts parts;
  parts.folder = name.substr(0, file_start);
  const std::size_t dot = name.find_last_of(u'.');
  if (dot == std::u16string::npos || dot < file_start) {
    parts.base = name.substr(file_start);
  } else {
    parts.base = name.substr(file_start, dot - file_start);
    parts.extension = name.substr(dot);
  }
  return parts;
}

bool HasLower(const std::u16string& text) {
  for (char16_t c : text) {
    if (c >= u'a' && c <= u'z') return true;
  }
  return false;
}

bool HasUpper(const std::u16string& text) {
  for (char16_t c : text) {
    if (c >= u'A' && c <= u'Z') return true;
  }
  return false;
}

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text != '\0'; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

std::u16string Numbered(const char* format, std::int64_t value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, format, static_cast<long long>(value));
  return Ascii(digits);
}

}  // namespace

std::u16string MakeVolumeName(const std::u16string& name, std::int32_t number,
                              const VolumeNaming& naming) {
  const NameParts parts = Split(name);
  // Upper case unless the archive's extension is written in lower case.
  const bool upper = !HasLower(parts.extension);
  auto cased = [&](const char* text) {
    return upper ? platform::AsciiUpper(Ascii(text)) : platform::AsciiLower(Ascii(text));
  };
  const std::u16string numbered_tail = u"_" + Numbered("%.3lld", std::int64_t{number} + 1);

  if (naming.mode == SpanningMode::smSpanning && number >= 0) {
    const std::u16string extension = naming.exe ? u".exe" : parts.extension;
    if (!naming.advanced) return parts.folder + parts.base + extension;
    return parts.folder + parts.base + numbered_tail + extension;
  }
  if (naming.mode != SpanningMode::smSplitting) return name;
  if (number == 0 && naming.exe) return parts.folder + parts.base + u".exe";
  if (number >= 0) {
    if (naming.advanced) return parts.folder + parts.base + numbered_tail + parts.extension;
    const char* letter = naming.alternative_extensions ? ".x" : ".z";
    return parts.folder + parts.base + cased(letter) + Numbered("%.2lld", std::int64_t{number} + 1);
  }
  if (number == kLastVolume && naming.exe) {
    return parts.folder + parts.base + cased(naming.alternative_extensions ? ".zx" : ".zip");
  }
  return name;
}

std::u16string OtherCaseExtension(const std::u16string& name) {
  NameParts parts = Split(name);
  const bool lower = HasLower(parts.extension);
  const bool upper = HasUpper(parts.extension);
  if (lower == upper) return {};
  return parts.folder + parts.base +
         (lower ? platform::AsciiUpper(parts.extension) : platform::AsciiLower(parts.extension));
}

std::u16string LastVolumeNameOf(const std::u16string& volume_name) {
  const NameParts parts = Split(volume_name);
  auto digits_only = [](std::u16string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  };
  const std::u16string& e = parts.extension;
  if (e.size() >= 4 && digits_only(std::u16string_view(e).substr(2))) {
    const char16_t letter = e[1];
    const bool upper = letter == u'Z' || letter == u'X';
    if (letter == u'z' || letter == u'Z')
      return parts.folder + parts.base + (upper ? u".ZIP" : u".zip");
    if (letter == u'x' || letter == u'X')
      return parts.folder + parts.base + (upper ? u".ZX" : u".zx");
  }
  const std::size_t underscore = parts.base.find_last_of(u'_');
  if (underscore != std::u16string::npos && parts.base.size() - underscore >= 4 &&
      digits_only(std::u16string_view(parts.base).substr(underscore + 1))) {
    return parts.folder + parts.base.substr(0, underscore) + e;
  }
  return {};
}

bool IsExeName(const std::u16string& name) {
  return platform::AsciiLower(Split(name).extension).find(u".exe") != std::u16string::npos;
}

}  // namespace qm::archive
