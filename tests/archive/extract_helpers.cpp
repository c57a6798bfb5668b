#include "extract_helpers.h"

#include <gtest/gtest.h>

#include "platform/file_mode.h"
#include "platform/text.h"

namespace qm::archive::testing {

namespace fs = std::filesystem;

void OpenForReading(ZipArchiver& archiver, const fs::path& archive) {
  archiver.SetFileName(platform::Utf8ToUtf16(archive.string()));
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
}

std::set<std::string> TreeOf(const fs::path& root) {
  std::set<std::string> out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).generic_string();
    if (e.is_directory()) rel += '/';
    out.insert(rel);
  }
  return out;
}

std::string DiffWithZipfile(const fs::path& archive, const fs::path& folder) {
  const CommandResult r =
      RunShell("python3 '" QM_SOURCE_DIR "/tests/support/compare_with_zipfile.py' '" +
                   archive.string() + "' '" + folder.string() + "'",
               folder.parent_path());
  return r.exit_code == 0 ? std::string() : "differs:\n" + r.output;
}

void MakeZip(const fs::path& dir, const std::string& program) {
  MustRunPython("import zipfile\n" + program, dir);
}

void DamageEntry(const fs::path& archive, const std::string& entry) {
  MustRunPython(
      "import struct, zipfile\n"
      "name = '" +
          archive.filename().string() +
          "'\n"
          "with zipfile.ZipFile(name) as z:\n"
          "  info = z.getinfo('" +
          entry +
          "')\n"
          "data = bytearray(open(name, 'rb').read())\n"
          "o = info.header_offset\n"
          "n, e = struct.unpack('<HH', data[o + 26:o + 30])\n"
          "start = o + 30 + n + e\n"
          "data[start + info.compress_size // 2] ^= 0x55\n"
          "open(name, 'wb').write(data)\n",
      archive.parent_path());
}

PromptButton ScriptedPrompter::Confirm(std::u16string_view text, PromptButtons buttons) {
  texts.emplace_back(text);
  button_sets.push_back(buttons);
  if (answers_.empty()) return PromptButton::kNone;
  const PromptButton answer = answers_.front();
  if (answers_.size() > 1) answers_.erase(answers_.begin());
  return answer;
}

bool ScriptedPrompter::AskPassword(std::u16string_view caption, std::u16string_view,
                                   std::u16string& value) {
  captions.emplace_back(caption);
  if (passwords_.empty()) return false;
  value = passwords_.front();
  passwords_.erase(passwords_.begin());
  return true;
}

}  // namespace qm::archive::testing
