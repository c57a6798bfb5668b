#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qm::archive {

// A value for a "%s" (text) or "%d" (number) placeholder.
using FormatArg = std::variant<std::u16string, std::int64_t>;

// printf-like formatting of the engine's message templates: %s, %d with an optional width
// and precision ("%5d", "%.3d"), and %%. Placeholders take the arguments in order; one left
// without an argument, or given the wrong kind, stays in the text as written.
std::u16string FormatText(std::u16string_view templ, std::span<const FormatArg> args);
inline std::u16string FormatText(std::u16string_view templ, std::initializer_list<FormatArg> args) {
  return FormatText(templ, std::span<const FormatArg>(args.begin(), args.size()));
}

}  // namespace qm::archive
