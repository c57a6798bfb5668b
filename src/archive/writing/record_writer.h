#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_types.h"
#include "archive/directory/dir_array.h"
#include "archive/directory/dir_item.h"
#include "archive/names/stored_names.h"
#include "platform/stream.h"

namespace qm::archive {

// What the record writers take from the component.
struct RecordSettings {
  bool oem_file_names = true;
  bool unicode_filenames = false;
  archive::Zip64Mode zip64_mode = archive::Zip64Mode::zmAuto;
};

// Version made by and needed to extract, written with the same value: 45 for a record that
// needs Zip64, else 20 (host MS-DOS) with OEM names or 0x0B14 (host NTFS) without.
std::uint16_t RecordVersion(bool zip64, const RecordSettings& settings);

// Replaces the entry's name blocks by those its current name calls for: the engine's
// Unicode-name block when UnicodeFilenames is on or the entry carried one (a stale one would
// bring the old name back on the next load), and Info-ZIP's Unicode Path block when the 8-bit
// name does not read back as the name. Sets or clears flag bit 11 to match `name`.
void RefreshNameBlocks(DirItem& item, const RecordName& name, const RecordSettings& settings);

// The extra blocks a new local header carries after its Zip64 space: the entry's name blocks,
// then its AES block, in that order (others stay in the central directory only).
std::vector<ExtraFieldDataBlock> LocalNameAndCipherBlocks(const DirItem& item);

// Sets the entry's local-header offset, in Zip64 form when it needs it or `force_zip64`.
void SetLocalHeaderOffset(DirItem& item, std::uint64_t offset, bool force_zip64);

// Refuses, before anything is written, what the records' 16-bit length fields cannot count:
// a name whose bytes, or the name blocks it brings into the extra field, are too long
// (`kNameTooLong`), and an entry comment of more than 65535 bytes (`kCommentTooLong`). `item` under
// its current Name and comment; `component_name` for the message.
void CheckRecordLengths(const DirItem& item, const RecordSettings& settings,
                        std::u16string_view component_name);

// Copies the old record of an entry whose data stays as it was from `tail` (the old archive
// from `cut` on) to `archive`'s position, and gives `item` its new offset. A renamed entry gets
// a header with the new name and name blocks, keeping its other local blocks byte for byte;
// any other record goes over as one block, data descriptor included. `kRollbackIndex` when the old
// record is not where the old directory says.
void CopyItemRecord(DirItem& item, const DirItem& old, bool renamed, platform::Stream& tail,
                    std::int64_t cut, platform::Stream& archive, const RecordSettings& settings);

}  // namespace qm::archive
