#pragma once

#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "archive/format_text.h"

namespace qm::archive {

// Every failure the archive engine detects itself. The raise site names a native error number
// (0 to 67) that identifies the place; it maps to a public code (0 to 40) that picks the
// message. The message reads "<component>: <text> - Native error: 000NN", the component part
// only when a component with a name raised it.
class ArchiveError : public std::runtime_error {
 public:
  // The message's placeholders stay unfilled.
  explicit ArchiveError(int native_error, std::u16string_view component_name = {});
  // The message's placeholders are filled from `args`, in order.
  ArchiveError(int native_error, std::span<const FormatArg> args,
               std::u16string_view component_name);
  ArchiveError(int native_error, std::initializer_list<FormatArg> args,
               std::u16string_view component_name)
      : ArchiveError(native_error, std::span<const FormatArg>(args.begin(), args.size()),
                     component_name) {}

  int ErrorCode() const { return error_code_; }
  int NativeError() const { return native_error_; }
  const std::u16string& Message() const { return message_; }

 private:
  struct Composed {
    std::u16string message;
  };
  ArchiveError(int native_error, Composed composed);

  int error_code_;
  int native_error_;
  std::u16string message_;
};

// The public code of a native error number: 0 for a number outside the table.
int ErrorCodeOf(int native_error);
// The message template of a public code; "Unknown error" for a code outside 0 to 40.
std::u16string_view ErrorMessageOf(int error_code);

}  // namespace qm::archive
