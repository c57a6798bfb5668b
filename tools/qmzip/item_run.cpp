#include "item_run.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>

#include "archive/prompter.h"
#include "cli_archiver.h"
#include "command_runner.h"
#include "password_option.h"
#include "platform/file_mode.h"
#include "platform/terminal.h"
#include "progress_bar.h"
#include "terminal_prompter.h"
#include "terminal_text.h"
#include "volume_set.h"

namespace qm::qmzip {

archive::OverwriteMode OverwriteModeOf(const std::string& name) {
  using archive::OverwriteMode;
  static const std::map<std::string, OverwriteMode> kModes = {{"always", OverwriteMode::omAlways},
                                                              {"never", OverwriteMode::omNever},
                                                              {"prompt", OverwriteMode::omPrompt},
                                                              {"newer", OverwriteMode::omIfNewer},
                                                              {"older", OverwriteMode::omIfOlder}};
  return kModes.at(name);
}

int RunItems(const ItemRunOptions& options, const std::string& verb,
             const std::function<void(archive::ZipArchiver&)>& configure,
             const std::function<void(archive::ZipArchiver&)>& operation) {
  TerminalSession session;
  ProgressBar& bar = session.Bar();

  CliArchiver archiver(bar, PasswordForms(options.password));
  archiver.SetFileName(ArchiveOfVolume(FromUtf8(options.archive)));
  archiver.SetOpenCorruptedArchives(false);
  std::vector<std::u16string> masks;
  for (const auto& m : options.masks) masks.push_back(FromUtf8(m));
  if (masks.empty()) masks.push_back(u"*.*");
  archiver.SetFileMasks(std::move(masks));
  std::vector<std::u16string> exclusions;
  for (const auto& m : options.exclude) exclusions.push_back(FromUtf8(m));
  archiver.SetExclusionMasks(std::move(exclusions));
  ShowProgress(archiver, bar);
  configure(archiver);
  namespace fm = platform::file_mode;
  archiver.OpenArchive(options.writable ? fm::kReadWrite | fm::kShareDenyWrite
                                        : fm::kRead | fm::kShareDenyNone);
  operation(archiver);
  bar.Clear();

  const int done = archiver.ProcessedFileCount() - archiver.IncompleteFileCount();
  const int kept = archiver.KeptFileCount();
  const int failed = archiver.IncompleteFileCount() - kept;
  std::cout << verb << ' ' << done << " of " << archiver.ProcessedFileCount() << " items";
  if (kept > 0) std::cout << "; " << kept << " passed over";
  if (failed > 0) std::cout << "; " << failed << " failed or skipped";
  if (archiver.ProgressCancelled()) std::cout << " (cancelled)";
  std::cout << '\n' << std::flush;
  return failed == 0 && !archiver.ProgressCancelled() ? kExitOk : kExitItemsIncomplete;
}

}  // namespace qm::qmzip
