#include "archive/writing/private_file.h"

#include <system_error>

#include "archive/writing/tail_file.h"
#include "platform/clock_seed.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

// Names already taken are tried again with other endings; a folder that refuses this many is
// not one that a retry would help.
constexpr int kAttempts = 64;

std::u16string Hex(std::uint64_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  for (int i = 0; i < 12; ++i, value >>= 4) text.push_back(kDigits[value & 0xF]);
  return text;
}

}  // namespace

PrivateFile::PrivateFile(const std::u16string& beside) {
  platform::Platform& os = platform::Platform::Current();
  // Hidden where a leading dot hides, and recognisable as ours by the ending.
  const auto cut = beside.find_last_of(platform::kPathSeparator);
  const std::u16string folder = cut == std::u16string::npos ? u"" : beside.substr(0, cut + 1);
  const std::u16string name = cut == std::u16string::npos ? beside : beside.substr(cut + 1);
  std::uint64_t seed = platform::ClockSeed();
  std::error_code error;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::u16string path = folder + u"." + name + u"." + Hex(seed >> 16) + u".qmtmp";
    auto file = os.CreatePrivateFile(path, error);
    if (file) {
      path_ = path;
      stream_ = std::make_unique<platform::FileStream>(path_, std::move(file));
      return;
    }
    if (error != std::errc::file_exists) break;
  }
  throw platform::FileCreateError(platform::Utf16ToUtf8(beside), error.message());
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
