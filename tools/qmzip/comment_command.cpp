#include "comment_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "archive/zip_archiver.h"
#include "command_runner.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {

constexpr std::int32_t kEveryEntry = archive::ArchiveOptions::kDefaultSearchAttr;

struct CommentOptions {
  std::string archive;
  std::optional<std::string> text;
  // With --entry: the comments of the entries this mask finds instead of the archive's.
  std::optional<std::string> entry;
};

std::string ReadStandardInput() {
  std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  // `echo text | qmzip comment a.zip` means "text", not "text\n".
  if (text.ends_with("\r\n")) {
    text.resize(text.size() - 2);
  } else if (text.ends_with('\n')) {
    text.pop_back();
  }
  return text;
}

int RunComment(const CommentOptions& options) {
  const std::u16string name = FromUtf8(options.archive);
  archive::ZipArchiver archiver;
  archiver.SetFileName(name);
  // A comment goes into an archive that exists; a typing mistake must not make a new one.
  if (!archiver.Exists()) {
    std::cerr << "qmzip: " << ForTerminal(options.archive) << ": no such archive\n";
    return kExitArchiveError;
  }
  // The comment is stored as given: the bytes of the argument or of standard input.
  const std::string text = options.text ? *options.text : ReadStandardInput();
  archiver.OpenArchive();
  if (options.entry) {
    // Counted first: every entry the mask finds gets the comment, folders included.
    archive::ArchiveItem f;
    const std::u16string mask = FromUtf8(*options.entry);
    std::size_t found = 0;
    for (bool more = archiver.FindFirst(mask, f, kEveryEntry, u""); more;
         more = archiver.FindNext(f)) {
      ++found;
    }
    if (found > 0) archiver.ChangeFilesComment(mask, text);
    archiver.CloseArchive();
    std::cout << "Commented " << found << " of " << found << " items\n";
    return kExitOk;
  }
  archiver.SetComment(text);
  archiver.CloseArchive();
  std::cout << "Comment of " << ForTerminal(options.archive) << ": " << text.size() << " bytes\n";
  return kExitOk;
}

}  // namespace

void AddCommentCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<CommentOptions>();
  CLI::App* comment =
      app.add_subcommand("comment", "Set the comment of an archive, or of entries (--entry)");
  comment->add_option("archive", options->archive, "The archive file")->required();
  comment->add_option("text", options->text,
                      "The new comment (read from standard input when left out)");
  comment->add_option("--entry", options->entry,
                      "Set the comment of the entries this mask finds (* and ?) instead");
  comment->callback(
      [options, &exit_code] { exit_code = RunCommand([&] { return RunComment(*options); }); });
}

}  // namespace qm::qmzip
