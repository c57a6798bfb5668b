#include "app/first_run_unpacking.h"

#include <stdexcept>

#include "app/client_paths.h"
#include "archive/archive_options.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::app {
namespace {

using platform::Platform;
namespace attr = platform::attr;

bool IsFolder(const std::u16string& path) {
  const std::uint32_t attributes = Platform::Current().GetAttributes(path);
  return attributes != attr::kInvalid && (attributes & attr::kDirectory) != 0;
}

bool IsFile(const std::u16string& path) {
  const std::uint32_t attributes = Platform::Current().GetAttributes(path);
  return attributes != attr::kInvalid && (attributes & attr::kDirectory) == 0;
}

// Removes a folder and everything below it; read-only files too.
void RemoveTree(const std::u16string& folder) {
  Platform& os = Platform::Current();
  std::error_code error;
  constexpr std::uint32_t kEverything = 0xFFFFFFFF;
  for (const auto& entry : os.ListDirectory(folder, kEverything, error)) {
    const std::u16string path = folder + platform::kPathSeparator + entry.name;
    if (entry.attributes & attr::kDirectory) {
      RemoveTree(path);
    } else {
      os.SetAttributes(path, attr::kArchive);
      os.DeleteFile(path);
    }
  }
  os.RemoveEmptyDirectory(folder);
}

// Puts the working archive back under the client's name, first removing whatever a partial
// unpacking left there. Answers whether the client archive is back in place.
bool RestoreClientArchive(const ClientPaths& paths) {
  if (!IsFile(paths.working_archive)) return false;
  if (IsFolder(paths.client_archive)) RemoveTree(paths.client_archive);
  return !Platform::Current().MoveFile(paths.working_archive, paths.client_archive);
}

// A working archive that outlived its unpacking (the program was killed) is the client when
// nothing else is; a client archive beside it is newer (the game reinstalled it), so the
// leftover is moved aside rather than used or deleted. Beside an unpacked folder it is left
// alone: the folder may hold an edited name.
void SettleLeftoverWorkingArchive(const ClientPaths& paths) {
  if (!IsFile(paths.working_archive) || IsFolder(paths.client_archive)) return;
  if (!IsFile(paths.client_archive)) {
    RestoreClientArchive(paths);
    return;
  }
  for (int n = 1; n < 1000; ++n) {
    const std::u16string aside =
        paths.working_archive + u"." + platform::Utf8ToUtf16(std::to_string(n));
    if (!Platform::Current().MoveFile(paths.working_archive, aside)) return;
  }
}

[[noreturn]] void ReportIncomplete(const ClientPaths& paths, bool restored) {
  const std::string client = platform::Utf16ToUtf8(paths.client_archive);
  if (restored) {
    throw std::runtime_error("The game client \"" + client +
                             "\" was not unpacked completely. It was left packed and will be "
                             "unpacked at the next start");
  }
  throw std::runtime_error("The game client \"" + client +
                           "\" was not unpacked completely, and its archive could not be put "
                           "back: it is kept as \"" +
                           platform::Utf16ToUtf8(paths.working_archive) + "\"");
}

}  // namespace

void ConfigureArchiver1(archive::ZipArchiver& archiver) {
  archiver.SetName(u"Archiver1");
  archiver.SetExtractCorruptedFiles(false);
  archiver.SetCompressionLevel(archive::CompressionLevel::clFastest);
  archiver.SetCompressionMode(1);
  archiver.SetSpanningMode(archive::SpanningMode::smNone);
  archiver.SpanningOptions().SetAdvancedNaming(false);
  archiver.SpanningOptions().SetVolumeSize(archive::VolumeSize::vsAutoDetect);
  archiver.Options().FlushBuffers = true;
  archiver.Options().OEMFileNames = true;
  archiver.SetInMemory(false);
  archiver.SetZip64Mode(archive::Zip64Mode::zmDisabled);
  archiver.SetUnicodeFilenames(false);
  archiver.SetEncryptionMethod(archive::CryptoAlgorithm::caPkzipClassic);
}

void UnpackClientOnFirstRun(archive::ZipArchiver& archiver) {
  const ClientPaths paths = ClientPaths::Locate();
  SettleLeftoverWorkingArchive(paths);
  // A folder, or nothing at all (every bit set): unpacked already, or not installed.
  if (Platform::Current().GetAttributes(paths.client_archive) & attr::kDirectory) return;

  // When the move fails the open below reports the missing working archive.
  Platform::Current().MoveFile(paths.client_archive, paths.working_archive);
  bool complete = false;
  try {
    archiver.SetFileName(paths.working_archive);
    archiver.OpenArchive(0x0000);
    archiver.SetBaseDir(paths.client_archive);
    archiver.ExtractFiles(u"*.*", archive::ArchiveOptions::kDefaultSearchAttr, u"");
    complete = archiver.LastRunComplete();
    archiver.CloseArchive();
  } catch (...) {
    archiver.CloseArchive();  // the archive must be free to go back under its name
    RestoreClientArchive(paths);
    throw;
  }
  if (!complete) ReportIncomplete(paths, RestoreClientArchive(paths));
  Platform::Current().DeleteFile(paths.working_archive);
}

}  // namespace qm::app
