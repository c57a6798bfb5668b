#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_item.h"

namespace qm::qmzip {

// The columns of `qmzip list`, in the manner of `unzip -v`: sizes, method, ratio, local
// modification time, CRC-32, attributes (d r h s a), encrypted mark ("*") and the name.
std::string ListingHeader();
std::string ListingRule();
std::string ListingLine(const archive::ArchiveItem& item);
void AppendListingLine(std::string& out, const archive::ArchiveItem& item);
std::string ListingTotal(std::uint64_t length, std::uint64_t size, std::int64_t count);

// "Stored", "Defl:N" (with the deflate option letter), "Def64", "AES", "Unk:NNN".
std::string MethodName(const archive::ArchiveItem& item);
// "YYYY-MM-DD HH:MM:SS" from the MS-DOS date and time words.
std::string FormatDosDateTime(std::uint16_t date, std::uint16_t time);
// Five letters d r h s a, "." where the bit is clear.
std::string FormatAttributes(std::uint32_t external_attributes);

}  // namespace qm::qmzip
