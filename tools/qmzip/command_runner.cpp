#include "command_runner.h"

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
