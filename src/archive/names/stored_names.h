#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/format/byte_reader.h"

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

// UTF-8 when the bytes are valid UTF-8 holding a non-ASCII character, else the ANSI page. The
// decision is taken from the bytes alone.
std::u16string DecodeStoredName(std::string_view bytes, bool* as_utf8 = nullptr);

// Strict UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF, no cut sequences).
bool IsValidUtf8(std::string_view bytes);

// The OEM step applied to stored bytes when loading: OEM to ANSI up to the first zero byte,
// anything after it unchanged.
std::string OemNameToAnsi(std::string_view bytes);

// The engine's own Unicode-name block (0x554E): "NUCX", a 32-bit count of UTF-16 code units,
// the code units.
struct UnicodeExtendedInfo {
  static constexpr std::uint32_t kSignature = 0x5843554E;  // "NUCX"
  std::uint32_t FAdditionalSignature = 0;
  std::u16string FName;

  // False when the signature differs or the count claims more code units than the block holds
  // (the block is then ignored and the 8-bit name stays).
  bool Load(std::span<const std::uint8_t> data);
  void SaveTo(ByteWriter& out) const;
};

// Info-ZIP's Unicode Path block (0x7075): version 1, CRC-32 of the stored name bytes, the name
// in UTF-8. The name when the version is 1 and the CRC matches `stored_name_bytes`.
std::optional<std::u16string> DecodeInfoZipUnicodePath(std::span<const std::uint8_t> data,
                                                       std::string_view stored_name_bytes);

}  // namespace qm::archive
