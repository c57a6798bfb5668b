// libFuzzer target for extraction to files: any bytes as an archive, extracted twice into a
// file system held in memory (the second time over the files of the first), with complete
// paths refused. Nothing may land outside the destination folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

#include "archive/archive_options.h"
#include "memory_platform.h"
#include "platform/memory_stream.h"
#include "quiet_archiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::fuzz::MemoryPlatform files;
  qm::platform::ScopedPlatform scoped(files);
  files.PutFile(u"/work/outside.txt", {'k', 'e', 'e', 'p'});
  for (const bool corrupted : {false, true}) {
    qm::platform::MemoryStream stream(std::vector<unsigned char>(data, data + size));
    qm::archive::ZipArchiver archiver;
    qm::fuzz::MakeQuiet(archiver);
    archiver.SetOpenCorruptedArchives(corrupted);
    archiver.SetExtractCorruptedFiles(corrupted);
    archiver.SetPassword("secret");
    archiver.SetBaseDir(u"/work/out");
    archiver.Options().OverwriteMode = qm::archive::OverwriteMode::omAlways;
    try {
      archiver.OpenArchive(stream, false);
      archiver.ExtractFiles(u"*.*", qm::archive::ArchiveOptions::kDefaultSearchAttr, u"");
    } catch (const std::exception&) {
      // Refusing bad input is fine; crashing or reading out of bounds is not.
    }
  }
  const auto* kept = files.FileContent(u"/work/outside.txt");
  if (kept == nullptr || kept->size() != 4) std::abort();  // written outside the destination
  return 0;
}
