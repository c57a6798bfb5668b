#pragma once

#include <string>

#include "archive/base_archiver.h"

namespace qm::archive {

// The ZIP archive component: the ZIP signature set, Zip64 off until asked for, and stored or
// deflated items by compression mode.
class ZipArchiver : public BaseArchiver {
 public:
  explicit ZipArchiver(std::u16string name = {});

  void SetPassword(std::string value) override;

  // Appends every record of the archive `archive_file_name` to this one as one block, without
  // decoding, and merges its directory (component/merge.cpp). Entries whose names this
  // archive has already are replaced or kept as Options().OverwriteMode says; a refused
  // prompt ends the merge of the directory there (the copied records stay, unreferenced). No
  // transaction is opened: the file changes at once, protected as a commit is. Open check
  // (`kArchiveNotOpen`), no-update check (`kUpdateNotEnded`); `kMergeIntoItself` when it names this
  // archive itself.
  void MergeWith(const std::u16string& archive_file_name);

 protected:
  void UpdateCompressionMethod() override;
};

}  // namespace qm::archive
