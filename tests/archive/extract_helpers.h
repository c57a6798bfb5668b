#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "archive/prompter.h"
#include "archive/zip_archiver.h"
#include "fixture_tools.h"

namespace qm::archive::testing {

// Opens `archive` read-only with `archiver` (sharing everything, as a reader should).
void OpenForReading(ZipArchiver& archiver, const std::filesystem::path& archive);

// Every file and folder below `root`, as relative "/"-separated paths ("dir/" for folders).
std::set<std::string> TreeOf(const std::filesystem::path& root);

// Python's zipfile compared with an extracted folder (tests/support/compare_with_zipfile.py);
// empty when they match, else what differs.
std::string DiffWithZipfile(const std::filesystem::path& archive,
                            const std::filesystem::path& folder);

// Writes `program` (Python, with zipfile imported) in `dir`.
void MakeZip(const std::filesystem::path& dir, const std::string& program);

// Flips one byte in the middle of the stored data of `entry` (located through its local
// header), so that its CRC or its deflate stream breaks.
void DamageEntry(const std::filesystem::path& archive, const std::string& entry);

// Answers the engine's questions from a script and remembers what was asked.
class ScriptedPrompter : public Prompter {
 public:
  explicit ScriptedPrompter(std::vector<PromptButton> answers = {},
                            std::vector<std::u16string> passwords = {})
      : answers_(std::move(answers)), passwords_(std::move(passwords)) {
    InstallPrompter(this);
  }
  ~ScriptedPrompter() override { InstallPrompter(nullptr); }

  PromptButton Confirm(std::u16string_view text, PromptButtons buttons) override;
  bool AskPassword(std::u16string_view caption, std::u16string_view label,
                   std::u16string& value) override;

  std::vector<std::u16string> texts;
  std::vector<PromptButtons> button_sets;
  std::vector<std::u16string> captions;

 private:
  std::vector<PromptButton> answers_;
  std::vector<std::u16string> passwords_;
};

}  // namespace qm::archive::testing
