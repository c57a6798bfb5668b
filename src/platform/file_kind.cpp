#include "platform/file_kind.h"

#include <string>

namespace qm::platform {
namespace {

class FileKindCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "file kind"; }
  std::string message(int value) const override {
    switch (static_cast<FileKind>(value)) {
      case FileKind::kFolder:
        return "It is a folder, not a file";
      case FileKind::kFifo:
        return "It is a FIFO (named pipe), not a regular file";
      case FileKind::kSocket:
        return "It is a socket, not a regular file";
      case FileKind::kCharacterDevice:
        return "It is a character device, not a regular file";
      case FileKind::kLink:
        return "A symbolic link stands there; nothing is written through it";
      case FileKind::kOther:
        break;
    }
    return "It is not a regular file";
  }
};

}  // namespace

std::error_code MakeErrorCode(FileKind kind) {
  static const FileKindCategory category;
  return {static_cast<int>(kind), category};
}

}  // namespace qm::platform
