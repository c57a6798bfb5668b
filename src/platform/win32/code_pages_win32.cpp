// The system's own ANSI and OEM code pages, as Windows programs see them.
#include "platform/text.h"
#include "platform/win32/windows_api.h"

namespace qm::platform {
namespace {

std::u16string Decode(UINT page, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(page, 0, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  ::MultiByteToWideChar(page, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        needed);
  return out;
}

std::string Encode(UINT page, std::u16string_view text, DWORD flags = 0,
                   BOOL* used_default = nullptr) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(page, flags, wide, length, nullptr, 0, "?", used_default);
  std::string out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(page, flags, wide, length, out.data(), needed, "?", used_default);
  return out;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view bytes) {
  return Decode(CP_ACP, bytes);
}
std::string Utf16ToAnsi(std::u16string_view text) {
  return Encode(CP_ACP, text);
}
std::u16string OemToUtf16(std::string_view bytes) {
  return Decode(CP_OEMCP, bytes);
}
std::string Utf16ToOem(std::u16string_view text) {
  return Encode(CP_OEMCP, text);
}

std::string OemToAnsi(std::string_view bytes) {
  std::string out(bytes);
  if (!out.empty()) ::OemToCharBuffA(out.data(), out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string AnsiToOem(std::string_view bytes) {
  std::string out(bytes);
  if (!out.empty()) ::CharToOemBuffA(out.data(), out.data(), static_cast<DWORD>(out.size()));
  return out;
}

bool FitsAnsi(std::u16string_view text) {
  BOOL used_default = FALSE;
  // No best fit: a character the page only approximates ("A" for "Ā") does not fit.
  Encode(CP_ACP, text, WC_NO_BEST_FIT_CHARS, &used_default);
  return !used_default;
}

}  // namespace qm::platform
