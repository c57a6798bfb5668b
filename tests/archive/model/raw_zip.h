// A second reader and a small writer of ZIP archives, independent of the engine, for the model
// test: the reader takes the data of each entry straight from the file (so that the engine's
// own reading is not the only judge of what a commit wrote); the writer makes fixtures whose
// central directory lists the records in another order than the file holds them, or names
// the same entry twice, as other tools may.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qm::archive::model {

struct RawEntry {
  std::string name;  // the stored bytes of the name
  std::string data;  // decoded
  std::uint32_t dos_time = 0;
  std::uint32_t external_attr = 0;
  std::string comment;
};

struct RawArchive {
  std::vector<RawEntry> entries;  // in central directory order
  std::string comment;
};

// Reads every entry of a single-file archive and decodes its data (stored or deflated),
// checking the CRC and that the local header agrees with the central one. Returns false with
// `error` when anything does not hold.
bool ReadRawArchive(const std::filesystem::path& file, RawArchive& archive, std::string& error);

// One entry of a fixture; the name is UTF-8 and flagged so when it is not ASCII.
struct FixtureEntry {
  std::string name;
  std::string data;
  std::uint32_t dos_time = 0;
  std::uint32_t external_attr = 0x20;
  std::string comment;
  bool deflate = false;
};

// Writes the entries' records in the given order and lists them in the central directory in
// `directory_order` (indexes into `entries`; empty: the file order).
void WriteFixture(const std::filesystem::path& file, const std::vector<FixtureEntry>& entries,
                  const std::vector<std::size_t>& directory_order, const std::string& comment);

}  // namespace qm::archive::model
