#pragma once

#include <functional>
#include <string>

namespace qm::qmzip {

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitArchiveError = 2;  // missing, unreadable or damaged archive
inline constexpr int kExitUsage = 2;         // a command line that cannot be used
inline constexpr int kExitInternalError = 3;

// Runs a command body and turns the engine's exceptions into one line on stderr
// ("qmzip: <message>") and an exit code.
int RunCommand(const std::function<int()>& body);

// Arguments from the terminal (UTF-8) for the engine. What goes back is escaped: see
// terminal_text.h.
std::u16string FromUtf8(const std::string& text);

}  // namespace qm::qmzip
