#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace qm::qmzip {

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitArchiveError = 2;  // missing, unreadable or damaged archive
inline constexpr int kExitUsage = 2;         // a command line that cannot be used
inline constexpr int kExitInternalError = 3;

// Runs a command body and turns the engine's exceptions into one line on stderr
// ("qmzip: <message>") and an exit code.
int RunCommand(const std::function<int()>& body);

// Parses `arguments` (the program's name first) into `app`. Returns the exit code when they
// end the run: 0 after help, kExitUsage for a command line that cannot be used, never one of
// CLI11's own numbers.
std::optional<int> ParseCommandLine(CLI::App& app, std::vector<std::string>& arguments);

// Arguments from the terminal (UTF-8) for the engine. What goes back is escaped: see
// terminal_text.h.
std::u16string FromUtf8(const std::string& text);

}  // namespace qm::qmzip
