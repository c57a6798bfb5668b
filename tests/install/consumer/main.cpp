// Lists an archive through the installed engine, with nothing but its public face: proof that
// headers, libraries and the package's dependencies are all there, and that the face needs no
// header of the engine's inner layers.
#include <iostream>

#include "archive/archive_item.h"
#include "archive/zip_archiver.h"
#include "platform/file_mode.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  qm::archive::ZipArchiver archiver;
  archiver.SetFileName(qm::platform::Utf8ToUtf16(argv[1]));
  archiver.OpenArchive(qm::platform::file_mode::kRead | qm::platform::file_mode::kShareDenyNone);
  archiver.SetFileMasks({u"*.*"});
  qm::archive::ArchiveItem item;
  for (bool found = archiver.FindFirst(item); found; found = archiver.FindNext(item)) {
    std::cout << qm::platform::Utf16ToUtf8(item.StoredName) << "\n";
  }
  return 0;
}
