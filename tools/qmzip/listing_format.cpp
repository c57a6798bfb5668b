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

void AppendMethodName(std::string& out, const archive::ArchiveItem& item) {
  switch (item.CompressionMethod) {
    case archive::method::kStored:
      out += "Stored";
      return;
    case archive::method::kDeflated: {
      static constexpr char kOption[] = {'N', 'X', 'F', 'S'};
      out += "Defl:";
      out += kOption[(item.GenPurposeFlag >> 1) & 3];
      return;
    }
    case archive::method::kDeflate64:
      out += "Def64";
      return;
    case archive::method::kAes:
      out += "AES";
      return;
    default:
      out += "Unk:";
      AppendRight(out, item.CompressionMethod, 0);
      return;
  }
}

void AppendDosDateTime(std::string& out, std::uint16_t date, std::uint16_t time) {
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
}

void AppendAttributes(std::string& out, std::uint32_t a) {
  out += (a & 0x10) ? 'd' : '.';
  out += (a & 0x01) ? 'r' : '.';
  out += (a & 0x02) ? 'h' : '.';
  out += (a & 0x04) ? 's' : '.';
  out += (a & 0x20) ? 'a' : '.';
}

}  // namespace

std::string MethodName(const archive::ArchiveItem& item) {
  std::string out;
  AppendMethodName(out, item);
  return out;
}

std::string FormatDosDateTime(std::uint16_t date, std::uint16_t time) {
  std::string out;
  AppendDosDateTime(out, date, time);
  return out;
}

std::string FormatAttributes(std::uint32_t a) {
  std::string out;
  AppendAttributes(out, a);
  return out;
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
  const std::size_t method_at = out.size();
  AppendMethodName(out, item);
  if (out.size() - method_at < 6) out.append(6 - (out.size() - method_at), ' ');
  out += "  ";
  AppendRight(out, size, 11);
  out += "  ";
  AppendRatio(out, length, size);
  out += "  ";
  AppendDosDateTime(out, item.LastModFileDate, item.LastModFileTime);
  out += "  ";
  AppendHex32(out, item.CRC);
  out += "  ";
  AppendAttributes(out, item.ExternalFileAttributes);
  out += "  ";
  out += item.Encrypted ? '*' : '-';
  out += "  ";
  AppendForTerminal(out, item.StoredName);
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
