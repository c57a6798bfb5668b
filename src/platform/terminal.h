#pragma once

#include <string>
#include <vector>

namespace qm::platform {

// The standard streams of the process, for command-line tools that talk to a person when one
// is there and stay quiet in scripts.
enum class StdStream { kIn, kOut, kErr };

bool IsTerminal(StdStream stream);

// Readies a terminal for the escape sequences that redraw a line ("\r\x1b[K"): a Windows
// console takes them only once asked to. False when the stream is no terminal or refuses.
bool EnableLineRedraw(StdStream stream);

// Reads one line from standard input without echoing it (for passwords); the line ends are
// dropped. False at end of input.
bool ReadLineWithoutEcho(std::string& line);

// The program's arguments in UTF-8, the program name first. POSIX passes them as they are;
// Windows hands main() its arguments in the ANSI code page, so they are taken from the UTF-16
// command line instead and nothing outside that page is lost.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The running program's own file as a full path ("" where the system cannot say), and what
// the names of program files end in here ("" or ".exe"): a program finds itself, or a
// companion program installed beside it, through these.
std::u16string OwnProgramFile();
extern const char16_t kProgramSuffix[];

}  // namespace qm::platform
