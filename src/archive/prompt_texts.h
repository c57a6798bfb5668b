#pragma once

#include <string_view>

namespace qm::archive {

// Texts of the prompts the engine shows itself when no event handler answers, by their
// string-table identifiers.
enum class PromptText {
  kProcessFileFailure = 65200,
  kFileNotFoundOnDisk = 65201,
  kOverwriteFile = 65224,
  kPasswordCaption = 65225,
  kPasswordLabel = 65226,
  kInsertBlankDisk = 65227,
  kInsertFirstDisk = 65228,
  kInsertLastDisk = 65229,
  kInsertDisk = 65230,
  kDiskFull = 65231,
};

std::u16string_view PromptTextOf(PromptText id);

}  // namespace qm::archive
