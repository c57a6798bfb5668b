// libFuzzer target for directory loading: any bytes as an archive, loaded strictly and with
// the rebuild from local headers, then searched. Run by hand:
//   cmake --preset fuzz && cmake --build --preset fuzz --target load_dir_fuzzer
//   ./build/fuzz/tests/fuzz/load_dir_fuzzer -max_len=70000 corpus/
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/zip_archiver.h"
#include "platform/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const bool corrupted : {false, true}) {
    qm::platform::MemoryStream stream(std::vector<unsigned char>(data, data + size));
    qm::archive::ZipArchiver archiver;
    archiver.SetOpenCorruptedArchives(corrupted);
    try {
      archiver.OpenArchive(stream, false);
      archiver.SetFileMasks({u"*.*"});
      qm::archive::ArchiveItem f;
      for (bool found = archiver.FindFirst(f); found; found = archiver.FindNext(f)) {
      }
      std::int32_t index = -1;
      archiver.FindItemIndex(u"a/b.txt", index);
      static_cast<void>(archiver.FileCount());
    } catch (const std::exception&) {
      // Refusing bad input is fine; crashing or reading out of bounds is not.
    }
  }
  return 0;
}
