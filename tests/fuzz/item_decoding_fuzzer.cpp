// libFuzzer target for item decoding: any bytes as an archive, every item decoded (stored or
// inflated, classic or AES deciphered with a fixed password) by testing, by extraction to a
// stream and by partial extraction to a buffer.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "archive/archive_item.h"
#include "platform/memory_stream.h"
#include "quiet_archiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const bool corrupted : {false, true}) {
    qm::platform::MemoryStream stream(std::vector<unsigned char>(data, data + size));
    qm::archive::ZipArchiver archiver;
    qm::fuzz::MakeQuiet(archiver);
    archiver.SetOpenCorruptedArchives(corrupted);
    archiver.SetExtractCorruptedFiles(corrupted);
    archiver.SetPassword("secret");
    archiver.SetFileMasks({u"*.*"});
    try {
      archiver.OpenArchive(stream, false);
      archiver.TestFiles();
      qm::archive::ArchiveItem f;
      for (bool found = archiver.FindFirst(f); found; found = archiver.FindNext(f)) {
        try {
          qm::platform::MemoryStream out;
          archiver.ExtractToStream(f.FileName, out);
        } catch (const std::exception&) {
        }
        try {
          std::uint8_t window[64];
          archiver.ExtractToBuffer(f.FileName, window, sizeof window, 3);
        } catch (const std::exception&) {
        }
      }
    } catch (const std::exception&) {
      // Refusing bad input is fine; crashing or reading out of bounds is not.
    }
  }
  return 0;
}
