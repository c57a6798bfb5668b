#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/zip_archiver.h"
#include "password_option.h"

namespace qm::qmzip {

// What `extract` and `test` share: the archive, the masks of the items and of the items to
// leave out.
struct ItemRunOptions {
  std::string archive;
  std::vector<std::string> masks;
  std::vector<std::string> exclude;
  // For encrypted items (--password); without it asked on a terminal, else skipped.
  PasswordOption password;
  // Opened for writing (denying other writers) rather than read-only.
  bool writable = false;
};

// The names of --overwrite: always, never, prompt, newer, older.
inline const std::vector<std::string> kOverwriteModeNames = {"always", "never", "prompt", "newer",
                                                             "older"};
archive::OverwriteMode OverwriteModeOf(const std::string& name);

// Exit code when the run finished but some item failed or was skipped.
inline constexpr int kExitItemsIncomplete = 1;

// Opens the archive (read-only unless `writable`), installs the terminal prompter (standard input a
// terminal) and the progress bar (standard error a terminal), reports every failed item on standard
// error, runs `operation` over the chosen items after `configure`, and prints one summary
// line: "<verb> N of M items", then how many were passed over (existing files kept) and
// how many failed or were skipped. Exit code 0 unless an item failed or was skipped (a
// damaged item, a missing password) or the run was cancelled.
int RunItems(const ItemRunOptions& options, const std::string& verb,
             const std::function<void(archive::ZipArchiver&)>& configure,
             const std::function<void(archive::ZipArchiver&)>& operation);

}  // namespace qm::qmzip
