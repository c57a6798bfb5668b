#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/format/extra_fields.h"

namespace qm::archive {

// How names travel between memory (UTF-16, "/" separators) and the archive (8-bit bytes in
// the OEM page, the ANSI page or UTF-8 with flag bit 11).

struct StoredName {
  std::string bytes;
  bool utf8 = false;  // the writer sets flag bit 11
};

// The ANSI bytes when the name survives a round trip through the ANSI page, else UTF-8. The
// writer then converts non-UTF-8 bytes to OEM when Options.OEMFileNames is on. Names are never
// cut, whatever their length.
StoredName EncodeStoredName(std::u16string_view name);

// A name as a record stores it: the bytes after the OEM step, whether they are UTF-8 (flag bit
// 11), and whether they read back as the name. They do not when the OEM page lacks a letter the
// ANSI page has (the euro sign under 437, for one); Info-ZIP's Unicode Path block then carries
// the name for other tools.
struct RecordName {
  std::string bytes;
  bool utf8 = false;
  bool exact = true;
};
RecordName EncodeRecordName(std::u16string_view name, bool oem_file_names);

// UTF-8 when the bytes are valid UTF-8 holding a non-ASCII character, else the ANSI page. The
// decision is taken from the bytes alone.
std::u16string DecodeStoredName(std::string_view bytes, bool* as_utf8 = nullptr);

// Strict UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF, no cut sequences).
bool IsValidUtf8(std::string_view bytes);

// The OEM step applied to stored bytes when loading: OEM to ANSI up to the first zero byte,
// anything after it unchanged.
std::string OemNameToAnsi(std::string_view bytes);

// The name an Info-ZIP Unicode Path block (0x7075) gives: only when its version is 1, its CRC
// matches `stored_name_bytes` (the block belongs to this name, not to one renamed since) and
// its UTF-8 is valid.
std::optional<std::u16string> DecodeInfoZipUnicodePath(std::span<const std::uint8_t> data,
                                                       std::string_view stored_name_bytes);
// The Info-ZIP Unicode Path block for `name` stored as `stored_name_bytes`.
InfoZipUnicodePath MakeInfoZipUnicodePath(std::u16string_view name,
                                          std::string_view stored_name_bytes);
// The engine's Unicode-name block for `name`.
UnicodeExtendedInfo MakeUnicodeExtendedInfo(std::u16string_view name);

}  // namespace qm::archive
