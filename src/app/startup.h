#pragma once

#include <exception>
#include <string>
#include <vector>

namespace qm::app {

// The application title: the program file's name up to its first ".", every letter after the
// first in lower case. Message boxes carry it as their caption.
std::u16string ApplicationTitle(const std::u16string& program_path);

// True when one of the arguments (after the program name) is "/acver", compared with A to Z
// folded to lower case: the switch that shows the version box.
bool HasVersionSwitch(const std::vector<std::u16string>& arguments);
inline constexpr char16_t kVersionText[] = u"Label effects v6.69";

// The text the exception display shows: the innermost message of a chain of nested
// exceptions, with a "." appended when it ends in a character above ".".
std::u16string ExceptionDisplayText(std::exception_ptr error);

}  // namespace qm::app
