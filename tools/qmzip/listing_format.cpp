#include "listing_format.h"

#include <charconv>

#include "archive/format/records.h"
#include "command_runner.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {

// Formatting by hand: a listing of a hundred thousand entries should cost little more than
// reading the directory.
void AppendRight(std::string& out, std::uint64_t value, int width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(end - digits);
  if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(digits, end);
}

void AppendPadded(std::string& out, unsigned value, int width) {
  char digits[12];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(end - digits);
  if (length < width) out.append(static_cast<std::size_t>(width - length), '0');
  out.append(digits, end);
}

void AppendLeft(std::string& out, const std::string& text, std::size_t width) {
  out += text;
  if (text.size() < width) out.append(width - text.size(), ' ');
}

void AppendHex32(std::string& out, std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

void AppendRatio(std::string& out, std::uint64_t length, std::uint64_t size) {
  const unsigned percent =
      (length == 0 || size >= length) ? 0 : static_cast<unsigned>((length - size) * 100 / length);
  AppendRight(out, percent, 3);
  out += '%';
}

}  // namespace

std::string MethodName(const archive::ArchiveItem& item) {
  switch (item.CompressionMethod) {
    case archive::method::kStored:
      return "Stored";
    case archive::method::kDeflated: {
      static constexpr char kOption[] = {'N', 'X', 'F', 'S'};
      return std::string("Defl:") + kOption[(item.GenPurposeFlag >> 1) & 3];
    }
    case archive::method::kDeflate64:
      return "Def64";
    case archive::method::kAes:
      return "AES";
    default:
      return "Unk:" + std::to_string(item.CompressionMethod);
  }
}

std::string FormatDosDateTime(std::uint16_t date, std::uint16_t time) {
  std::string out;
  AppendPadded(out, 1980u + (date >> 9), 4);
  out += '-';
  AppendPadded(out, (date >> 5) & 0x0Fu, 2);
  out += '-';
  AppendPadded(out, date & 0x1Fu, 2);
  out += ' ';
  AppendPadded(out, time >> 11, 2);
  out += ':';
  AppendPadded(out, (time >> 5) & 0x3Fu, 2);
  out += ':';
  AppendPadded(out, (time & 0x1Fu) * 2, 2);
  return out;
}

std::string FormatAttributes(std::uint32_t a) {
  std::string s = ".....";
  if (a & 0x10) s[0] = 'd';
  if (a & 0x01) s[1] = 'r';
  if (a & 0x02) s[2] = 'h';
  if (a & 0x04) s[3] = 's';
  if (a & 0x20) s[4] = 'a';
  return s;
}

std::string ListingHeader() {
  return "    Length  Method           Size  Cmpr  Date       Time      CRC-32    Attr   E  Name";
}

std::string ListingRule() {
  return "----------  ------  -----------  ----  ---------- --------  --------  -----  -  ----";
}

void AppendListingLine(std::string& out, const archive::ArchiveItem& item) {
  const auto length = static_cast<std::uint64_t>(item.UncompressedSize);
  const auto size = static_cast<std::uint64_t>(item.CompressedSize);
  AppendRight(out, length, 10);
  out += "  ";
  AppendLeft(out, MethodName(item), 6);
  out += "  ";
  AppendRight(out, size, 11);
  out += "  ";
  AppendRatio(out, length, size);
  out += "  ";
  out += FormatDosDateTime(item.LastModFileDate, item.LastModFileTime);
  out += "  ";
  AppendHex32(out, item.CRC);
  out += "  ";
  out += FormatAttributes(item.ExternalFileAttributes);
  out += "  ";
  out += item.Encrypted ? '*' : '-';
  out += "  ";
  out += ForTerminal(item.StoredName);
}

std::string ListingLine(const archive::ArchiveItem& item) {
  std::string out;
  AppendListingLine(out, item);
  return out;
}

std::string ListingTotal(std::uint64_t length, std::uint64_t size, std::int64_t count) {
  std::string out;
  AppendRight(out, length, 10);
  out.append(10, ' ');
  AppendRight(out, size, 11);
  out += "  ";
  AppendRatio(out, length, size);
  out += "  ";
  out += std::to_string(count);
  out += count == 1 ? " file" : " files";
  return out;
}

}  // namespace qm::qmzip
