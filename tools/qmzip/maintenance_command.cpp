#include "maintenance_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/zip_archiver.h"
#include "command_runner.h"
#include "item_run.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"

namespace qm::qmzip {
namespace {

namespace fm = platform::file_mode;
constexpr std::int32_t kEveryEntry = archive::ArchiveOptions::kDefaultSearchAttr;

void OpenForWriting(archive::ZipArchiver& archiver, const std::string& path) {
  archiver.SetFileName(FromUtf8(path));
  // A damaged archive is refused: changing it would build on a guessed directory (repair it).
  archiver.SetOpenCorruptedArchives(false);
  archiver.OpenArchive(fm::kReadWrite | fm::kShareDenyWrite);
}

// The indexes of the entries a mask finds (recursing into folders, as extract does).
std::vector<std::int32_t> EntriesMatching(archive::ZipArchiver& archiver, const std::string& mask,
                                          const std::string& exclusion = {}) {
  std::vector<std::int32_t> found;
  archive::ArchiveItem f;
  for (bool more = archiver.FindFirst(FromUtf8(mask), f, kEveryEntry, FromUtf8(exclusion)); more;
       more = archiver.FindNext(f)) {
    found.push_back(f.Handle.ItemNo);
  }
  return found;
}

void PrintSummary(const std::string& verb, std::size_t done, std::size_t of) {
  std::cout << verb << ' ' << done << " of " << of << " items\n" << std::flush;
}

// "+r", "-h", ...: the attribute bits to set and to clear.
struct AttributeChange {
  std::uint32_t set = 0;
  std::uint32_t clear = 0;
};

AttributeChange ParseAttributeChanges(const std::vector<std::string>& words) {
  AttributeChange change;
  for (const std::string& word : words) {
    if (word.size() != 2 || (word[0] != '+' && word[0] != '-')) {
      throw CLI::ValidationError("attributes",
                                 "expected +r, -r, +h, -h, +s, -s, +a or -a: " + word);
    }
    std::uint32_t bit = 0;
    switch (word[1]) {
      case 'r':
        bit = platform::attr::kReadOnly;
        break;
      case 'h':
        bit = platform::attr::kHidden;
        break;
      case 's':
        bit = platform::attr::kSystem;
        break;
      case 'a':
        bit = platform::attr::kArchive;
        break;
      default:
        throw CLI::ValidationError("attributes", "unknown attribute " + word);
    }
    (word[0] == '+' ? change.set : change.clear) |= bit;
  }
  return change;
}

int RunAttrib(const std::string& path, const std::string& mask,
              const std::vector<std::string>& words) {
  const AttributeChange change = ParseAttributeChanges(words);
  archive::ZipArchiver archiver;
  OpenForWriting(archiver, path);
  const std::vector<std::int32_t> entries = EntriesMatching(archiver, mask);
  const archive::DirArray& dir = archiver.DMHandle()->CDir;
  std::vector<std::pair<std::u16string, std::uint32_t>> changes;
  for (const std::int32_t i : entries) {
    const archive::DirItem& item = dir.GetItem(i);
    changes.emplace_back(item.Name, (item.CentralDir.externalAttr | change.set) & ~change.clear);
  }
  // Each entry by its own name, so that one entry's value reaches no other.
  archiver.Options().Recurse = false;
  archiver.BeginUpdate();
  for (const auto& [name, value] : changes) archiver.ChangeFilesAttr(name, value);
  archiver.EndUpdate();
  PrintSummary("Changed", changes.size(), entries.size());
  return kExitOk;
}

int RunRename(const std::string& path, const std::string& old_name, const std::string& new_name) {
  archive::ZipArchiver archiver;
  OpenForWriting(archiver, path);
  const archive::DirArray& dir = archiver.DMHandle()->CDir;
  std::vector<std::u16string> before;
  for (std::int32_t i = 0; i < dir.Count(); ++i) before.push_back(dir.GetItem(i).Name);
  archiver.RenameFile(FromUtf8(old_name), FromUtf8(new_name));
  std::size_t renamed = 0;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    renamed += dir.GetItem(i).Name != before[static_cast<std::size_t>(i)];
  }
  archiver.CloseArchive();
  PrintSummary("Renamed", renamed, renamed);
  return kExitOk;
}

int RunRepair(const std::string& damaged, const std::string& output) {
  archive::ZipArchiver archiver;
  archiver.SetFileName(FromUtf8(damaged));
  archiver.RepairArchive(FromUtf8(output));
  const int repaired = archiver.RepairedFileCount();
  const int skipped = archiver.RepairSkippedCount();
  std::cout << "Repaired " << repaired << " of " << repaired + skipped << " items";
  if (skipped > 0) std::cout << "; " << skipped << " damaged, left out";
  std::cout << '\n' << std::flush;
  return skipped == 0 ? kExitOk : kExitItemsIncomplete;
}

int RunMerge(const std::string& path, const std::string& other_path, const std::string& mode) {
  archive::ZipArchiver archiver;
  OpenForWriting(archiver, path);
  archiver.Options().OverwriteMode = OverwriteModeOf(mode);
  std::vector<std::u16string> theirs;
  {
    archive::ZipArchiver other;
    other.SetFileName(FromUtf8(other_path));
    other.SetOpenCorruptedArchives(false);
    other.OpenArchive(fm::kRead | fm::kShareDenyNone);
    const archive::DirArray& dir = other.DMHandle()->CDir;
    for (std::int32_t i = 0; i < dir.Count(); ++i) theirs.push_back(dir.GetItem(i).Name);
  }
  const auto cut = static_cast<std::uint64_t>(archiver.DMHandle()->CentralDirOffset());
  archiver.MergeWith(FromUtf8(other_path));
  // An entry of the other archive came in when its name now leads to a copied record.
  archive::DirArray& dir = archiver.DMHandle()->CDir;
  std::size_t merged = 0;
  for (const std::u16string& name : theirs) {
    std::int32_t i = -1;
    merged += dir.FileExists(name, i) && dir.GetItem(i).LocalHeaderOffset() >= cut;
  }
  const bool cancelled = archiver.ProgressCancelled();
  archiver.CloseArchive();
  PrintSummary("Merged", merged, theirs.size());
  return cancelled ? kExitItemsIncomplete : kExitOk;
}

}  // namespace

void AddDeleteCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ItemRunOptions>();
  options->writable = true;
  CLI::App* command = app.add_subcommand("delete", "Remove entries from an archive");
  command->add_option("archive", options->archive, "The archive file")->required();
  command->add_option("masks", options->masks, "Masks of the entries to remove (* and ?)")
      ->required();
  command->add_option("-x,--exclude", options->exclude, "Masks of entries to keep");
  command->footer(
      "Exit status: 0 when every chosen entry was removed, 1 when the run was "
      "cancelled or aborted (nothing is removed then), 2 when the archive cannot "
      "be used.");
  command->callback([options, &exit_code] {
    exit_code = RunCommand([&] {
      return RunItems(
          *options, "Deleted", [](archive::ZipArchiver&) {},
          [](archive::ZipArchiver& archiver) { archiver.DeleteFiles(); });
    });
  });
}

void AddRenameCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string archive, old_name, new_name;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("rename", "Rename an entry; a folder takes the entries below it along");
  command->add_option("archive", options->archive, "The archive file")->required();
  command->add_option("old", options->old_name, "The entry's name (or its file name)")->required();
  command->add_option("new", options->new_name, "The new name")->required();
  command->callback([options, &exit_code] {
    exit_code = RunCommand(
        [&] { return RunRename(options->archive, options->old_name, options->new_name); });
  });
}

void AddAttribCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string archive, mask;
    std::vector<std::string> changes;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "attrib", "Set (+) or clear (-) the attributes r, h, s, a of the entries a mask finds");
  command->add_option("archive", options->archive, "The archive file")->required();
  command->add_option("mask", options->mask, "Mask of the entries (* and ?)")->required();
  command->add_option("changes", options->changes, "+r, -r, +h, -h, +s, -s, +a, -a");
  // "-r" and its kind are attribute changes, not options.
  command->allow_extras();
  command->callback([options, command, &exit_code] {
    std::vector<std::string> changes = options->changes;
    for (const std::string& extra : command->remaining()) changes.push_back(extra);
    exit_code = RunCommand([&] { return RunAttrib(options->archive, options->mask, changes); });
  });
}

void AddRepairCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string damaged, output;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "repair", "Store every entry of a damaged archive that still verifies in a new archive");
  command->add_option("damaged", options->damaged, "The damaged archive (left as it is)")
      ->required();
  command->add_option("output", options->output, "The new archive")->required();
  command->footer(
      "Exit status: 0 when every entry was saved, 1 when damaged entries were left "
      "out, 2 when nothing could be read or the output cannot be written.");
  command->callback([options, &exit_code] {
    exit_code = RunCommand([&] { return RunRepair(options->damaged, options->output); });
  });
}

void AddMergeCommand(CLI::App& app, int& exit_code) {
  struct Options {
    std::string archive, other, overwrite = "never";
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "merge", "Append the entries of another archive, copying its records as they are");
  command->add_option("archive", options->archive, "The archive that grows")->required();
  command->add_option("other", options->other, "The archive whose entries come in (unchanged)")
      ->required();
  command
      ->add_option("--overwrite", options->overwrite,
                   "Entries of the same name: never (default: keep this archive's), always, "
                   "newer, older")
      ->check(CLI::IsMember({"always", "never", "newer", "older"}));
  command->callback([options, &exit_code] {
    exit_code =
        RunCommand([&] { return RunMerge(options->archive, options->other, options->overwrite); });
  });
}

}  // namespace qm::qmzip
