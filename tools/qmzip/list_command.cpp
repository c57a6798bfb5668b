#include "list_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip_archiver.h"
#include "command_runner.h"
#include "listing_format.h"
#include "platform/file_mode.h"
#include "terminal_text.h"
#include "volume_set.h"

namespace qm::qmzip {
namespace {

struct ListOptions {
  std::string archive;
  std::vector<std::string> masks;
  std::vector<std::string> exclude;
  bool recover = false;
};

int RunList(const ListOptions& options) {
  archive::ZipArchiver archiver;
  archiver.SetFileName(ArchiveOfVolume(FromUtf8(options.archive)));
  // A damaged archive is reported, not silently rebuilt, unless asked for.
  archiver.SetOpenCorruptedArchives(options.recover);
  std::vector<std::u16string> masks;
  for (const auto& m : options.masks) masks.push_back(FromUtf8(m));
  if (masks.empty()) masks.push_back(u"*.*");
  archiver.SetFileMasks(std::move(masks));
  std::vector<std::u16string> exclusions;
  for (const auto& m : options.exclude) exclusions.push_back(FromUtf8(m));
  archiver.SetExclusionMasks(std::move(exclusions));
  // Listing never writes: open read-only and let others read and write.
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);

  std::string out;
  out.reserve(1 << 16);
  out += "Archive:  " + ForTerminal(options.archive) + '\n';
  const std::string& comment = archiver.Comment();
  if (!comment.empty()) out += ForTerminalLines(comment) + '\n';
  out += ListingHeader() + '\n' + ListingRule() + '\n';
  std::uint64_t total_length = 0;
  std::uint64_t total_size = 0;
  std::int64_t count = 0;
  archive::ArchiveItem f;
  for (bool found = archiver.FindFirst(f); found; found = archiver.FindNext(f)) {
    AppendListingLine(out, f);
    out += '\n';
    total_length += static_cast<std::uint64_t>(f.UncompressedSize);
    total_size += static_cast<std::uint64_t>(f.CompressedSize);
    ++count;
    if (out.size() > (1 << 16) - 512) {
      std::cout << out;
      out.clear();
    }
  }
  out += ListingRule() + '\n' + ListingTotal(total_length, total_size, count) + '\n';
  std::cout << out << std::flush;
  return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* list = app.add_subcommand("list", "List the entries of an archive");
  list->add_option("archive", options->archive, "The archive file")->required();
  list->add_option("masks", options->masks, "Masks of the entries to list (* and ?; default: all)");
  list->add_option("-x,--exclude", options->exclude, "Masks of entries to leave out");
  list->add_flag("--recover", options->recover,
                 "Rebuild the directory from the local headers when the archive is damaged");
  list->callback(
      [options, &exit_code] { exit_code = RunCommand([&] { return RunList(*options); }); });
}

}  // namespace qm::qmzip
