#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::crypto {

// Format numbers.
inline constexpr int kFormatDefault = -1;  // stands for kFormatMime64
inline constexpr int kFormatNone = 0;      // conversions give an empty result
inline constexpr int kFormatCopy = 1;
inline constexpr int kFormatHex = 16;
inline constexpr int kFormatHexL = 1016;
inline constexpr int kFormatMime64 = 4196;
inline constexpr int kFormatUU = 21845;
inline constexpr int kFormatXX = 22616;

// A binary-to-text format. The classes are stateless: one constant instance each stands for
// the class (see format_registry.h). `value` may be null (empty); a negative `len` counts up to
// the first zero byte. Results are 8-bit strings.
class StringFormat {
 public:
  virtual ~StringFormat() = default;

  // Text to bytes. Throws StringFormatError where the text cannot be read.
  virtual std::string ToStr(const char* value, std::ptrdiff_t len) const;
  // Bytes to text.
  virtual std::string StrTo(const char* value, std::ptrdiff_t len) const;
  virtual std::string_view Name() const { return "copy Input to Output"; }
  virtual int Format() const { return kFormatCopy; }
  // Whether the input may be converted: text to bytes when `to_str`, else bytes to text.
  virtual bool IsValid(const char* value, std::ptrdiff_t len, bool to_str) const;
  // The format's symbols first, then other characters that may stand in its text.
  virtual std::string_view CharTable() const { return {}; }

 protected:
  // Applies the null / negative-length rules; answers the usable length.
  static std::size_t Length(const char* value, std::ptrdiff_t len);
  // Every character of the text occurs in CharTable().
  bool AllInTable(const char* value, std::size_t len) const;
};

// Two digits per byte, high nibble first. Reading ignores letter case, skips characters that
// are not digits, lets the first "X" or "$" restart the output (so "0x" and "$" prefixes drop
// out) and drops a last unpaired digit.
class HexFormat : public StringFormat {
 public:
  std::string ToStr(const char* value, std::ptrdiff_t len) const override;
  std::string StrTo(const char* value, std::ptrdiff_t len) const override;
  std::string_view Name() const override { return "Hexadecimal"; }
  int Format() const override { return kFormatHex; }
  bool IsValid(const char* value, std::ptrdiff_t len, bool to_str) const override;
  std::string_view CharTable() const override;
};

class HexLowerFormat : public HexFormat {
 public:
  std::string_view Name() const override { return "Hexadecimal lowercase"; }
  int Format() const override { return kFormatHexL; }
  std::string_view CharTable() const override;
};

// RFC 2045 Base 64 without line breaks. Reading skips characters other than the 64 symbols
// and "=", so line-broken text reads back correctly.
class Mime64Format : public HexFormat {
 public:
  std::string ToStr(const char* value, std::ptrdiff_t len) const override;
  std::string StrTo(const char* value, std::ptrdiff_t len) const override;
  std::string_view Name() const override { return "MIME Base 64"; }
  int Format() const override { return kFormatMime64; }
  std::string_view CharTable() const override;
};

// Lines of up to 45 bytes, each a length symbol and four symbols per three bytes, written one
// after the other without line breaks.
class UUFormat : public StringFormat {
 public:
  std::string ToStr(const char* value, std::ptrdiff_t len) const override;
  std::string StrTo(const char* value, std::ptrdiff_t len) const override;
  std::string_view Name() const override { return "UU Coding"; }
  int Format() const override { return kFormatUU; }
  bool IsValid(const char* value, std::ptrdiff_t len, bool to_str) const override;
  std::string_view CharTable() const override;
};

class XXFormat : public UUFormat {
 public:
  std::string_view Name() const override { return "XX Coding"; }
  int Format() const override { return kFormatXX; }
  std::string_view CharTable() const override;
};

}  // namespace qm::crypto
