#include "password_option.h"

#include <CLI/CLI.hpp>

#include "platform/text.h"

namespace qm::qmzip {

void AddPasswordOption(CLI::App& command, PasswordOption& password) {
  command.add_option_function<std::string>(
      "-P,--password",
      [&password](const std::string& value) {
        password.utf8 = value;
        password.given = true;
      },
      "Password for encrypted items (other users can see command lines: leave it out to be "
      "asked on the terminal)");
}

std::vector<std::string> PasswordForms(const PasswordOption& password) {
  std::vector<std::string> forms;
  if (!password.given) return forms;
  const std::u16string text = platform::Utf8ToUtf16(password.utf8);
  if (platform::FitsAnsi(text)) forms.push_back(platform::Utf16ToAnsi(text));
  if (forms.empty() || forms.front() != password.utf8) forms.push_back(password.utf8);
  return forms;
}

std::string EncryptionPasswordForm(const PasswordOption& password, bool aes) {
  if (aes) return password.utf8;
  return PasswordForms(password).front();
}

}  // namespace qm::qmzip
