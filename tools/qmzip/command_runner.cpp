#include "command_runner.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <stdexcept>

#include "archive/archive_error.h"
#include "platform/stream_errors.h"
#include "platform/text.h"
#include "terminal_text.h"

namespace qm::qmzip {

std::u16string FromUtf8(const std::string& text) {
  return platform::Utf8ToUtf16(text);
}

std::optional<int> ParseCommandLine(CLI::App& app, std::vector<std::string>& arguments) {
  std::vector<char*> pointers;
  for (auto& argument : arguments) pointers.push_back(argument.data());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return std::nullopt;
}

int RunCommand(const std::function<int()>& body) {
  try {
    return body();
  } catch (const archive::ArchiveError& e) {
    std::cerr << "qmzip: " << ForTerminal(e.Message()) << '\n';
    return kExitArchiveError;
  } catch (const platform::StreamError& e) {
    // A record cut short by the end of the file surfaces as a read error of the stream.
    std::cerr << "qmzip: " << ForTerminal(e.what()) << '\n';
    return kExitArchiveError;
  } catch (const std::exception& e) {
    std::cerr << "qmzip: " << ForTerminal(e.what()) << '\n';
    return kExitInternalError;
  }
}

}  // namespace qm::qmzip
