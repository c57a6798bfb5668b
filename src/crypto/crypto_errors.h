#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qm::crypto {

// Message texts; the numbers are the resource identifiers they carry in the message tables.
namespace messages {
inline constexpr std::string_view kCircularProtection =  // 65202
    "Circular Protection detected, Protection Object is invalid.";
inline constexpr std::string_view kFormatNotExists = "String Format \"%d\" not exists.";  // 65203
inline constexpr std::string_view kInvalidFormatInput =
    "Input is not an valid %s Format.";                     // 65204
inline constexpr std::string_view kCannotConvertToFormat =  // 65205
    "Input can not be convert to %s Format.";
inline constexpr std::string_view kInvalidKeyLength =  // 65212
    "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes";
inline constexpr std::string_view kNotInitialized =  // 65213
    "%s is not initialized call Init() or InitKey() before.";
}  // namespace messages

// Raised by ciphers; ErrorCode() is 2 for a bad key length and 3 for use before a key was set.
class CipherException : public std::runtime_error {
 public:
  static constexpr std::int32_t kBadKeyLength = 2;
  static constexpr std::int32_t kNotInitialized = 3;

  CipherException(std::int32_t error_code, const std::string& message)
      : std::runtime_error(message), error_code_(error_code) {}
  std::int32_t ErrorCode() const { return error_code_; }

 private:
  std::int32_t error_code_;
};

// Raised when a protection chain would lead back to itself.
class ProtectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by the binary-to-text conversions for unknown formats and unconvertible input.
class StringFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace detail {
// Fills the message templates above: each %s / %d is replaced, in order, by the next argument.
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string> args);
}  // namespace detail

}  // namespace qm::crypto
