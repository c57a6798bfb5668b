// The plain model of an archive: what its entries should be, in directory order, and how a
// real archive (reopened from disk) and a component's directory in memory are compared with it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm::archive {
class ZipArchiver;
}

namespace qm::archive::model {

struct Entry {
  std::u16string name;
  std::string data;
  // MS-DOS date (high half) and time; unknown for folders taken from disk, whose time is the
  // moment they were added.
  std::optional<std::uint32_t> dos_time;
  std::uint32_t attr = 0x20;  // the MS-DOS attribute byte
  // Unknown after an update from disk rebuilt the entry.
  std::optional<std::string> comment = std::string();
  // Model only, never compared: the disk file a pending MoveFiles takes the entry from.
  std::u16string moved_from;
  bool IsFolder() const { return (attr & 0x10) != 0; }
};

struct ArchiveState {
  std::vector<Entry> entries;
  std::string comment;
};

// Names as the engine compares them: letters A to Z without case when `fold_case`.
bool SameName(const std::u16string& a, const std::u16string& b, bool fold_case);
// Whether a mask without wildcards selects the entry: the whole name (without a final "/")
// or, for a mask without a folder part, the name's last part; letters A to Z without case.
bool MaskSelects(const std::u16string& mask, const std::u16string& name);
// Every occurrence of `from` in `text`, letters A to Z without case, replaced by `to`.
std::u16string ReplaceAll(const std::u16string& text, const std::u16string& from,
                          const std::u16string& to);

// Reopens the archive with a fresh component, and reads it once more without the engine; the
// two readings must agree. False with `error` when the archive cannot be read.
bool Observe(const std::filesystem::path& archive, ArchiveState& state, std::string& error);
// What differs between the model and what was observed; empty when they agree.
std::string Compare(const ArchiveState& expected, const ArchiveState& observed);
// The same for a component's live directory (names, attributes, times, comments; no data).
std::string CompareDirectory(const ArchiveState& expected, ZipArchiver& archiver);
std::string Describe(const ArchiveState& state);

}  // namespace qm::archive::model
