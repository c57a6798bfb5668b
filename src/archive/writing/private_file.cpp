#include "archive/writing/private_file.h"

#include <random>
#include <system_error>

#include "platform/clock_seed.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {

PrivateFile CreatePrivateFileIn(const std::u16string& folder, const std::u16string& prefix) {
  static constexpr char16_t kLetters[] =
      u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // The names only need to be hard to foresee, so that nobody can place a file at them in
  // advance; a name that is taken all the same is drawn again, never reused.
  thread_local std::mt19937_64 draw(platform::ClockSeed());
  std::u16string stem = folder;
  if (!stem.empty() && !stem.ends_with(platform::kPathSeparator) && !stem.ends_with(u'/')) {
    stem += platform::kPathSeparator;
  }
  stem += prefix;
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::u16string path = stem;
    for (std::uint64_t bits = draw(), i = 0; i < 6; ++i, bits /= 62) path += kLetters[bits % 62];
    auto file = platform::Platform::Current().CreatePrivateFile(path, error);
    if (file) return PrivateFile{std::move(path), std::move(file)};
    if (error != std::errc::file_exists) break;
  }
  throw platform::FileCreateError(platform::Utf16ToUtf8(stem), error.message());
}

}  // namespace qm::archive
