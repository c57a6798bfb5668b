#pragma once

#include <string>
#include <string_view>

namespace qm::qmzip {

// Text made safe for a terminal. Names and comments come from the archive and may carry escape
// sequences, carriage returns or other controls that clear the screen or overwrite a warning;
// every control character is shown instead of sent: C0 ones and DEL in caret form (ESC as
// "^[", CR as "^M", DEL as "^?"), C1 ones (U+0080 to U+009F) as "<U+009B>". Invalid UTF-8
// bytes are shown as "<xNN>". Everything else passes unchanged.
std::string ForTerminal(std::string_view utf8);
// The same for text that may span lines (an archive comment): line feeds and tabs stay, and a
// carriage return directly before a line feed is dropped.
std::string ForTerminalLines(std::string_view utf8);
// UTF-16 text (names, engine messages) converted and escaped.
std::string ForTerminal(const std::u16string& text);
// ForTerminal(text) appended to `out`.
void AppendForTerminal(std::string& out, std::u16string_view text);

}  // namespace qm::qmzip
