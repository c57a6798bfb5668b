#include "archive/writing/private_file.h"

#include <random>
#include <system_error>

#include "archive/writing/tail_file.h"
#include "platform/clock_seed.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {

NewPrivateFile CreatePrivateFileIn(const std::u16string& folder, const std::u16string& prefix,
                                   const std::u16string& suffix) {
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
    path += suffix;
    auto file = platform::Platform::Current().CreatePrivateFile(path, error);
    if (file) return NewPrivateFile{std::move(path), std::move(file)};
    if (error != std::errc::file_exists) break;
  }
  throw platform::FileCreateError(platform::Utf16ToUtf8(stem), error.message());
}

PrivateFile::PrivateFile(const std::u16string& beside) {
  // Hidden where a leading dot hides, and recognisable as ours by the ending.
  const auto cut = beside.find_last_of(platform::kPathSeparator);
  const std::u16string folder = cut == std::u16string::npos ? u"" : beside.substr(0, cut + 1);
  const std::u16string name = cut == std::u16string::npos ? beside : beside.substr(cut + 1);
  NewPrivateFile made = CreatePrivateFileIn(folder, u"." + name + u".", u".qmtmp");
  path_ = std::move(made.path);
  stream_ = std::make_unique<platform::FileStream>(path_, std::move(made.file));
}

PrivateFile::~PrivateFile() {
  stream_.reset();
  if (!placed_) platform::Platform::Current().DeleteFile(path_);
}

void PrivateFile::PutInPlace(const std::u16string& destination) {
  platform::Platform& os = platform::Platform::Current();
  stream_->Flush();
  stream_.reset();
  if (const auto error = os.ReplaceFile(path_, destination)) {
    throw platform::WriteError("Stream write error: " + error.message());
  }
  placed_ = true;
  os.FlushDirectory(FolderOf(destination));
}

}  // namespace qm::archive
