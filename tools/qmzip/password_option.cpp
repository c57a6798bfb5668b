#include "password_option.h"

#include <CLI/CLI.hpp>

#include "archive/base_archiver.h"
#include "platform/text.h"

namespace qm::qmzip {

void AddPasswordOption(CLI::App& command, std::string& password_utf8) {
  command
      .add_option("-P,--password", password_utf8,
                  "Password for encrypted items (other users can see command lines: leave it "
                  "out to be asked on the terminal)")
      ->check(CLI::Validator(
          [](std::string& value) -> std::string {
            if (platform::FitsAnsi(platform::Utf8ToUtf16(value))) return {};
            return "the password has characters outside Windows-1252";
          },
          "PASSWORD"));
}

void ApplyPassword(archive::BaseArchiver& archiver, const std::string& password_utf8) {
  if (password_utf8.empty()) return;
  archiver.SetPassword(platform::Utf16ToAnsi(platform::Utf8ToUtf16(password_utf8)));
}

}  // namespace qm::qmzip
