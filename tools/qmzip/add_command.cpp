#include "add_command.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <iostream>
#include <map>
#include <memory>

#include "archive/archive_options.h"
#include "archive/archive_types.h"
#include "archive/names/path_rules.h"
#include "cli_archiver.h"
#include "command_runner.h"
#include "item_run.h"
#include "password_option.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/terminal.h"
#include "progress_bar.h"
#include "terminal_prompter.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {

using archive::CryptoAlgorithm;
using archive::StorePathMode;

struct AddOptions {
  std::string archive;
  std::vector<std::string> paths;
  std::vector<std::string> exclude;
  bool recurse = false;
  int level = 6;
  PasswordOption password;
  int aes_bits = 0;
  bool move = false;
  // -u: replace entries only by newer files (new files are added); -f: only that, nothing new.
  bool update = false;
  bool freshen = false;
  std::string base_dir;
  std::string store_path = "relative";
  // --split: volume size in bytes (0: one file); --advanced-naming: arc_001.zip ... names.
  std::int64_t split = 0;
  bool advanced_naming = false;
};

// "64k", "100m", "4g" (powers of 1024) or plain bytes; 0 when the text is no size.
std::int64_t VolumeBytesOf(const std::string& text) {
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 12 || text.size() > digits + 1) return 0;
  std::int64_t value = std::stoll(text.substr(0, digits));
  if (text.size() == digits + 1) {
    switch (std::tolower(static_cast<unsigned char>(text.back()))) {
      case 'g':
        value *= 1024;
        [[fallthrough]];
      case 'm':
        value *= 1024;
        [[fallthrough]];
      case 'k':
        value *= 1024;
        break;
      default:
        return 0;
    }
  }
  return value;
}

StorePathMode StorePathOf(const std::string& name) {
  static const std::map<std::string, StorePathMode> kModes = {
      {"none", StorePathMode::spNoPath},
      {"relative", StorePathMode::spRelativePath},
      {"full", StorePathMode::spFullPath},
      {"drive", StorePathMode::spFullPathWithDrive}};
  return kModes.at(name);
}

CryptoAlgorithm CipherOf(int aes_bits) {
  switch (aes_bits) {
    case 128:
      return CryptoAlgorithm::caAES_128;
    case 192:
      return CryptoAlgorithm::caAES_192;
    case 256:
      return CryptoAlgorithm::caAES_256;
    default:
      return CryptoAlgorithm::caPkzipClassic;
  }
}

constexpr const char* kAddHelp =
    "PATH is a file, a folder or a mask (* and ?), relative to the base folder (default: the "
    "current one). Without -r only files are taken; with -r folders are taken whole and masks "
    "also find files in subfolders. An item of the same name is replaced. Symbolic links to "
    "folders are passed over; a link to a file stores the file it points to. Exit status: 0 "
    "when every item was added, 1 when an item failed or a PATH found nothing (nothing is "
    "written when no PATH found anything), 2 when the archive cannot be used.";

// Entries replaced by their disk files (below the base folder) where these are newer, as
// zip -f does; the paths are masks of entries (all of them when none is given).
int RunFreshen(CliArchiver& archiver, const AddOptions& options, ProgressBar& bar) {
  // Freshening adds nothing, so it never makes an archive either.
  if (!archiver.Exists()) {
    std::cerr << "qmzip: " << ForTerminal(options.archive) << ": no such archive\n";
    return kExitArchiveError;
  }
  if (options.paths.empty()) archiver.SetFileMasks({u"*.*"});
  archiver.Options().SearchAttr = archive::ArchiveOptions::kDefaultSearchAttr;
  archiver.Options().Recurse = true;
  archiver.OpenArchive();
  archiver.UpdateFiles();
  archiver.CloseArchive();
  bar.Clear();
  const int done = archiver.ProcessedFileCount() - archiver.IncompleteFileCount();
  const int kept = archiver.KeptFileCount();
  const int failed = archiver.IncompleteFileCount() - kept;
  std::cout << "Freshened " << done << " of " << archiver.ProcessedFileCount() << " items";
  if (kept > 0) std::cout << "; " << kept << " passed over";
  if (failed > 0) std::cout << "; " << failed << " failed";
  std::cout << '\n' << std::flush;
  return failed == 0 ? kExitOk : kExitItemsIncomplete;
}

// What the engine is given for `path`. With -r a path without * or ? that names a file or a
// folder in the base folder is handed over by its full path (a folder with a final separator),
// which the engine takes as that one file or folder: as a plain name it would also be looked
// for in every folder below the base, walking the whole tree again for each path named. A
// path through a symbolic link stays as it is (links to folders are passed over).
std::u16string MaskFor(const std::string& path, const AddOptions& options) {
  std::u16string mask = FromUtf8(path);
  if (!options.recurse || mask.find_first_of(u"*?") != std::u16string::npos) return mask;
  platform::Platform& os = platform::Platform::Current();
  const std::u16string base =
      os.ExpandPath(options.base_dir.empty() ? u"." : FromUtf8(options.base_dir)) +
      platform::kPathSeparator;
  const bool from_base = !options.base_dir.empty() && !archive::IsCompletePath(mask);
  const std::u16string full =
      os.ExpandPath(from_base ? FromUtf8(options.base_dir + "/" + path) : mask);
  const std::uint32_t attributes = os.GetAttributes(full);
  if (attributes == platform::attr::kInvalid || !full.starts_with(base) ||
      full.size() == base.size() || os.FindLinkBelow(base, full)) {
    return mask;
  }
  return (attributes & platform::attr::kDirectory) != 0 ? full + platform::kPathSeparator : full;
}

// Adds (or moves) the paths one at a time inside one transaction, so that a path that finds
// nothing can be named; the commit at the end writes them all, as one call for all paths
// would. Answers the paths that found nothing; when none found anything, nothing is written.
std::vector<std::string> AddEachPath(CliArchiver& archiver, const AddOptions& options) {
  std::vector<std::string> unmatched;
  archiver.BeginUpdate();
  try {
    for (const auto& path : options.paths) {
      const int found_before = archiver.FoundCount();
      archiver.SetFileMasks({MaskFor(path, options)});
      if (options.move) {
        archiver.MoveFiles();
      } else {
        archiver.AddFiles();
      }
      if (archiver.FoundCount() == found_before) unmatched.push_back(path);
    }
  } catch (...) {
    archiver.CancelUpdate();
    throw;
  }
  if (unmatched.size() == options.paths.size()) archiver.CancelUpdate();
  archiver.EndUpdate();
  return unmatched;
}

// Why a path found nothing, in the words a user can act on.
std::string NothingFoundMessage(const std::string& path, const AddOptions& options) {
  platform::Platform& os = platform::Platform::Current();
  const std::u16string disk_path =
      options.base_dir.empty() ? FromUtf8(path) : FromUtf8(options.base_dir + "/" + path);
  const std::uint32_t attributes = os.GetAttributes(disk_path);
  if (!options.recurse && attributes != platform::attr::kInvalid &&
      (attributes & platform::attr::kDirectory) != 0) {
    return "qmzip: " + ForTerminal(path) + ": is a folder; add -r to take it";
  }
  return "qmzip: " + ForTerminal(path) + ": no file or folder matches";
}

int RunAdd(const AddOptions& options) {
  TerminalSession session;
  ProgressBar& bar = session.Bar();

  CliArchiver archiver(bar);
  archiver.SetFileName(FromUtf8(options.archive));
  archiver.SetOpenCorruptedArchives(false);
  archiver.SetZip64Mode(archive::Zip64Mode::zmAuto);
  archiver.SetCompressionMode(static_cast<std::uint8_t>(options.level));
  archiver.SetEncryptionMethod(CipherOf(options.aes_bits));
  if (options.password.given) {
    archiver.SetPassword(EncryptionPasswordForm(options.password, options.aes_bits != 0));
  }
  if (!options.base_dir.empty()) archiver.SetBaseDir(FromUtf8(options.base_dir));
  archive::ArchiveOptions& settings = archiver.Options();
  settings.StorePath = StorePathOf(options.store_path);
  settings.Recurse = options.recurse;
  settings.OverwriteMode = archive::OverwriteMode::omAlways;
  // Without -r a named folder is not taken (nor anything in it).
  settings.SearchAttr = options.recurse ? archive::ArchiveOptions::kDefaultSearchAttr
                                        : archive::ArchiveOptions::kDefaultSearchAttr & ~0x10;
  std::vector<std::u16string> masks;
  for (const auto& path : options.paths) masks.push_back(FromUtf8(path));
  archiver.SetFileMasks(std::move(masks));
  std::vector<std::u16string> exclusions;
  for (const auto& m : options.exclude) exclusions.push_back(FromUtf8(m));
  archiver.SetExclusionMasks(std::move(exclusions));
  ShowProgress(archiver, bar);

  if (options.update || options.freshen) settings.OverwriteMode = archive::OverwriteMode::omIfNewer;
  if (options.freshen) return RunFreshen(archiver, options, bar);
  if (options.split > 0) {
    // A set is written once, whole: it cannot be added to afterwards.
    if (archiver.Exists()) {
      std::cerr << "qmzip: " << ForTerminal(options.archive)
                << ": a split set is made anew; the file exists\n";
      return kExitArchiveError;
    }
    archiver.SetSpanningMode(archive::SpanningMode::smSplitting);
    archiver.SpanningOptions().SetVolumeSize(archive::VolumeSize::vsCustom);
    archiver.SpanningOptions().SetCustomVolumeSize(options.split);
    archiver.SpanningOptions().SetAdvancedNaming(options.advanced_naming);
  }

  const bool existed = archiver.Exists();
  archiver.OpenArchive();
  const std::vector<std::string> unmatched = AddEachPath(archiver, options);
  archiver.CloseArchive();
  bar.Clear();
  // Opening made the file; with nothing to put in it, there is no archive to leave behind.
  if (!existed && unmatched.size() == options.paths.size()) {
    platform::Platform::Current().DeleteFile(FromUtf8(options.archive));
  }
  for (const std::string& path : unmatched) std::cerr << NothingFoundMessage(path, options) << '\n';

  const int total = archiver.ProcessedFileCount();
  const int failed = std::min(archiver.FailureCount(), total);
  std::cout << (options.move ? "Moved " : "Added ") << total - failed << " of " << total
            << " items";
  if (failed > 0) std::cout << "; " << failed << " failed";
  if (archiver.ProgressCancelled()) std::cout << " (cancelled)";
  std::cout << '\n' << std::flush;
  return failed == 0 && unmatched.empty() && !archiver.ProgressCancelled() ? kExitOk
                                                                           : kExitItemsIncomplete;
}

}  // namespace

void AddAddCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<AddOptions>();
  CLI::App* add = app.add_subcommand("add", "Add files and folders (makes the archive)");
  add->footer(kAddHelp);
  add->add_option("archive", options->archive, "The archive file")->required();
  add->add_option("paths", options->paths,
                  "Files, folders or masks to add (with -f: masks of entries, default all)");
  add->add_flag("-r,--recurse", options->recurse, "Take folders whole, search masks below");
  add->add_option("-x,--exclude", options->exclude, "Masks of files to leave out");
  for (int level = 0; level <= 9; ++level) {
    add->add_flag_callback(
        "-" + std::to_string(level), [options, level] { options->level = level; },
        level == 0   ? "Store without compression"
        : level == 6 ? "Compression level (default 6)"
                     : "");
  }
  AddPasswordOption(*add, options->password);
  add->add_option("--aes", options->aes_bits,
                  "Encrypt with AES (key bits) instead of the "
                  "classic cipher; needs a password")
      ->check(CLI::IsMember({128, 192, 256}));
  add->add_flag("--move", options->move, "Delete the files once they are in the archive");
  add->add_flag("-u,--update", options->update,
                "Replace an entry only by a newer file (new files are still added)");
  add->add_flag("-f,--freshen", options->freshen,
                "Only replace entries whose files are newer; add nothing new");
  add->add_option("--base-dir", options->base_dir,
                  "Folder that paths and stored names are relative to");
  add->add_option("--store-path", options->store_path,
                  "Which part of a path is stored: relative (default), none, full, drive")
      ->check(CLI::IsMember({"none", "relative", "full", "drive"}));
  add->add_option_function<std::string>(
         "--split",
         [options](const std::string& text) {
           options->split = VolumeBytesOf(text);
           if (options->split <= 0) throw CLI::ValidationError("--split", "not a size: " + text);
         },
         "Write a new split set in volumes of SIZE bytes (k, m, g suffixes; at least 64k)")
      ->type_name("SIZE");
  add->add_flag("--advanced-naming", options->advanced_naming,
                "Name the volumes arc_001.zip, arc_002.zip ... instead of arc.z01, arc.z02 ...");
  add->callback([options, &exit_code] {
    if (options->paths.empty() && !options->freshen) {
      throw CLI::RequiredError("paths: at least one file, folder or mask");
    }
    exit_code = RunCommand([&] { return RunAdd(*options); });
  });
}

}  // namespace qm::qmzip
