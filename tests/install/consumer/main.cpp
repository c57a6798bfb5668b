// Lists an archive through the installed engine: proof that headers, libraries and the
// package's dependencies are all there.
#include <iostream>

#include "archive/directory/dir_manager.h"
#include "archive/zip_archiver.h"
#include "platform/file_mode.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  qm::archive::ZipArchiver archiver;
  archiver.SetFileName(qm::platform::Utf8ToUtf16(argv[1]));
  archiver.OpenArchive(qm::platform::file_mode::kRead | qm::platform::file_mode::kShareDenyNone);
  const auto& dir = archiver.DMHandle()->CDir;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    std::cout << qm::platform::Utf16ToUtf8(dir.GetItem(i).Name) << "\n";
  }
  return 0;
}
