#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qm::archive {
class BaseArchiver;
}

namespace qm::qmzip {

// --password for the commands that decode items. The value is typed in UTF-8 and reaches
// the engine in its single-byte code page (Windows-1252), the form the ciphers key from; a
// password that code page cannot hold is refused when the command line is read, rather than
// turned into '?' characters. Without the option, or with a wrong password, the engine asks
// through its prompter (on a terminal, a masked prompt) or skips the item.
//
// A password on the command line is visible to other users of the machine (the process
// list); the help text says so and points to the prompt.
void AddPasswordOption(CLI::App& command, std::string& password_utf8);

// Gives the archiver the password from the option (nothing when it was not given).
void ApplyPassword(archive::BaseArchiver& archiver, const std::string& password_utf8);

}  // namespace qm::qmzip
