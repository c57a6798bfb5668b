#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm::platform {

// UTF-16 <-> UTF-8. Unpaired surrogates and malformed UTF-8 become U+FFFD, so the conversions
// never fail; paths and names cross to the system as UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Java's modified UTF-8, as class files store string constants: U+0000 takes two bytes and
// characters beyond the basic plane are written as their two surrogates, three bytes each.
std::string Utf16ToModifiedUtf8(std::u16string_view text);
// nullopt when `bytes` is not well-formed modified UTF-8.
std::optional<std::u16string> ModifiedUtf8ToUtf16(std::string_view bytes);

// Single-byte code pages: ANSI is Windows-1252 and OEM is code page 437 (the pair of a Western
// Windows system), so that names and comments written here read the same on Windows. Every
// byte value converts to a character and back; a character the page lacks becomes '?'.
std::u16string AnsiToUtf16(std::string_view bytes);
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string OemToUtf16(std::string_view bytes);
std::string Utf16ToOem(std::u16string_view text);
std::string OemToAnsi(std::string_view bytes);
std::string AnsiToOem(std::string_view bytes);
// True when every character of `text` has a byte in the ANSI page.
bool FitsAnsi(std::u16string_view text);

// ASCII-only case folding, the way file names are compared case-insensitively.
char16_t AsciiUpper(char16_t c);
std::u16string AsciiUpper(std::u16string_view text);
std::u16string AsciiLower(std::u16string_view text);

}  // namespace qm::platform
