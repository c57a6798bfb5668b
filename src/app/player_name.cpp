#include "app/player_name.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/temp_file_guard.h"
#include "platform/text.h"

namespace qm::app {
namespace {

using platform::FileStream;
using platform::Platform;
using platform::TempFileGuard;

// Opens the class file the way both operations do: read and write, nobody else.
constexpr std::uint16_t kExclusiveReadWrite =
    platform::file_mode::kReadWrite | platform::file_mode::kShareExclusive;

// Marker (21) + tag (1) + length (2).
constexpr std::size_t kHeaderBytes = kNameMarker.size() + 3;

std::string ReadAll(FileStream& stream) {
  const auto size = static_cast<std::size_t>(stream.Size());
  std::string bytes(size, '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), size);
  return bytes;
}

std::u16string FolderOf(const std::u16string& path) {
  const auto slash = path.find_last_of(platform::kPathSeparator);
  if (slash == std::u16string::npos) return {};
  return path.substr(0, slash + 1);
}

[[noreturn]] void ThrowCreateError(const std::u16string& file_name, const std::error_code& error) {
  throw platform::FileCreateError(platform::Utf16ToUtf8(Platform::Current().ExpandPath(file_name)),
                                  error.message());
}

// A copy of the file beside it, keeping its permissions, to be filled with the new content.
std::u16string MakeReplacement(const std::u16string& file_name) {
  Platform& os = Platform::Current();
  std::error_code error;
  std::u16string temp = os.CreateTempFile(FolderOf(file_name), u"FC", error);
  if (temp.empty()) ThrowCreateError(file_name, error);
  os.DeleteFile(temp);
  if ((error = os.CopyFile(file_name, temp, true))) ThrowCreateError(file_name, error);
  return temp;
}

}  // namespace

std::string EncodePlayerName(const std::u16string& name) {
  std::string bytes;
  for (std::size_t i = 0; i < name.size(); ++i) {
    // A surrogate pair is one character: keep both halves or neither.
    const bool pair = name[i] >= 0xD800 && name[i] <= 0xDBFF && i + 1 < name.size() &&
                      name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
    const std::string piece =
        platform::Utf16ToModifiedUtf8(std::u16string_view(name).substr(i, pair ? 2 : 1));
    if (bytes.size() + piece.size() > kMaxNameBytes) break;
    bytes += piece;
    if (pair) ++i;
  }
  return bytes;
}

std::u16string DecodePlayerName(std::string_view bytes) {
  if (auto text = platform::ModifiedUtf8ToUtf16(bytes)) return *std::move(text);
  return platform::AnsiToUtf16(bytes);
}

std::u16string ReadPlayerName(const std::u16string& file_name, PlayerNameRecord& record) {
  FileStream stream(file_name, kExclusiveReadWrite);
  const std::string bytes = ReadAll(stream);
  std::u16string name;
  for (auto p = bytes.find(kNameMarker); p != std::string::npos;
       p = bytes.find(kNameMarker, p + 1)) {
    if (p + kHeaderBytes > bytes.size()) continue;  // the length lies beyond the end
    const auto high = static_cast<unsigned char>(bytes[p + kHeaderBytes - 2]);
    const auto length = static_cast<unsigned char>(bytes[p + kHeaderBytes - 1]);
    // A name that runs past the end, or whose length needs the high byte, is not one this
    // program can rewrite without damaging the class file: it is passed over.
    if (high != 0 || p + kHeaderBytes + length > bytes.size()) continue;
    record.name_offset = static_cast<std::int32_t>(p + kHeaderBytes);
    record.name_length = length;
    name = DecodePlayerName(std::string_view(bytes).substr(p + kHeaderBytes, length));
  }
  return name;
}

void WritePlayerName(const std::u16string& file_name, const std::u16string& new_name,
                     const PlayerNameRecord& record) {
  if (record.name_offset == 0) return;  // nothing was found to replace
  // The original is closed again before it is copied and replaced: on Windows both the copy
  // and the replace are refused while a handle without sharing is open on it.
  const std::string bytes = [&] {
    FileStream original(file_name, kExclusiveReadWrite);
    return ReadAll(original);
  }();
  const auto offset = static_cast<std::size_t>(record.name_offset);
  if (offset < kHeaderBytes || offset + record.name_length > bytes.size() ||
      bytes.compare(offset - kHeaderBytes, kNameMarker.size(), kNameMarker) != 0) {
    throw std::runtime_error("The player name record in \"" + platform::Utf16ToUtf8(file_name) +
                             "\" has moved since it was read; the file was left unchanged");
  }
  const std::string name_bytes = EncodePlayerName(new_name);

  const std::u16string temp = MakeReplacement(file_name);
  // A half-written replacement is deleted unless it took the file's place.
  TempFileGuard guard(temp);
  {
    FileStream replacement(temp, kExclusiveReadWrite);
    replacement.SetSize(0);
    replacement.WriteBuffer(bytes.data(), offset - 1);  // up to the length's high byte
    const auto length = static_cast<unsigned char>(name_bytes.size());
    replacement.WriteBuffer(&length, 1);
    replacement.WriteBuffer(name_bytes.data(), name_bytes.size());
    const std::size_t tail = offset + record.name_length;
    replacement.WriteBuffer(bytes.data() + tail, bytes.size() - tail);
    replacement.Flush();
  }
  if (const auto error = Platform::Current().ReplaceFile(temp, file_name)) {
    ThrowCreateError(file_name, error);
  }
  guard.Release();
}

}  // namespace qm::app
