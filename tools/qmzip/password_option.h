#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qm::qmzip {

// --password for the commands that decode items, as typed (UTF-8). `given` tells an empty
// password (-P "") from none.
struct PasswordOption {
  std::string utf8;
  bool given = false;
};

// A password on the command line is visible to other users of the machine (the process
// list); the help text says so and points to the prompt.
void AddPasswordOption(CLI::App& command, PasswordOption& password);

// The byte forms the password is tried in, in order. Windows tools key the classic cipher from
// the Windows-1252 bytes, zip and 7-Zip on a UTF-8 system from the UTF-8 bytes (and AES
// items always from UTF-8): the code-page form first when the code page holds every character,
// then the UTF-8 bytes when they differ. Nothing when the option was not given; one empty
// password for -P "". Without a working form the engine asks through its prompter (a masked
// prompt on a terminal) or skips the item.
std::vector<std::string> PasswordForms(const PasswordOption& password);

// The one form new items are encrypted with: the UTF-8 bytes for AES, as zip tools key it; for
// the classic cipher the first of PasswordForms, so that Windows tools open what we write.
std::string EncryptionPasswordForm(const PasswordOption& password, bool aes);

}  // namespace qm::qmzip
