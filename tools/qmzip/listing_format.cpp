#include "listing_format.h"

#include <cstdio>

#include "command_runner.h"

namespace qm::qmzip {
namespace {

std::string Ratio(std::uint64_t length, std::uint64_t size) {
  if (length == 0 || size >= length) return "  0%";
  const auto percent = static_cast<unsigned>((length - size) * 100 / length);
  char text[8];
  std::snprintf(text, sizeof text, "%3u%%", percent);
  return text;
}

}  // namespace

std::string MethodName(const archive::DirItem& item) {
  switch (item.CentralDir.compMethod) {
    case archive::method::kStored: return "Stored";
    case archive::method::kDeflated: {
      static constexpr char kOption[] = {'N', 'X', 'F', 'S'};
      return std::string("Defl:") + kOption[(item.CentralDir.genPurposeFlag >> 1) & 3];
    }
    case archive::method::kDeflate64: return "Def64";
    case archive::method::kAes: return "AES";
    default: return "Unk:" + std::to_string(item.CentralDir.compMethod);
  }
}

std::string FormatDosDateTime(std::uint16_t date, std::uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9),
                (date >> 5) & 0x0Fu, date & 0x1Fu, time >> 11, (time >> 5) & 0x3Fu,
                (time & 0x1Fu) * 2);
  return text;
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

std::string ListingLine(const archive::DirItem& item) {
  const std::uint64_t length = item.UncompressedSize();
  const std::uint64_t size = item.CompressedSize();
  char text[128];
  std::snprintf(text, sizeof text, "%10llu  %-6s  %11llu  %s  %s  %08x  %s  %c  ",
                static_cast<unsigned long long>(length), MethodName(item).c_str(),
                static_cast<unsigned long long>(size), Ratio(length, size).c_str(),
                FormatDosDateTime(item.CentralDir.lastModDate, item.CentralDir.lastModTime).c_str(),
                item.CentralDir.crc32, FormatAttributes(item.CentralDir.externalAttr).c_str(),
                item.IsEncrypted() ? '*' : '-');
  return text + ToUtf8(item.Name);
}

std::string ListingTotal(std::uint64_t length, std::uint64_t size, std::int64_t count) {
  char text[128];
  std::snprintf(text, sizeof text, "%10llu          %11llu  %s  %lld %s",
                static_cast<unsigned long long>(length), static_cast<unsigned long long>(size),
                Ratio(length, size).c_str(), static_cast<long long>(count),
                count == 1 ? "file" : "files");
  return text;
}

}  // namespace qm::qmzip
