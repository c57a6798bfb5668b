#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace qm::archive::testing {

// The raw bytes of one entry's records, as digests (record_view.py).
struct RecordDigest {
  std::string local;    // local header, name, extra field, data, data descriptor
  std::string data;     // the stored data alone
  std::string central;  // the central entry with its offset field zeroed
  bool operator==(const RecordDigest&) const = default;
};

// Every entry of `archive` by its stored name (UTF-8), read by Python's zipfile.
std::map<std::string, RecordDigest> RecordDigests(const std::filesystem::path& archive);

// "" when unzip -t, 7zz t and Python's testzip() all pass `archive`, else what they said.
std::string ToolsFindFault(const std::filesystem::path& archive);

}  // namespace qm::archive::testing
