#pragma once

#include <system_error>

namespace qm::platform {

// What stands at a path when it is not a regular file (or block device) that can be opened as
// one. Opening refuses these at once, before a FIFO could block or a device be read, and the
// error says what was found.
enum class FileKind { kFolder = 1, kFifo, kSocket, kCharacterDevice, kOther, kLink };

std::error_code MakeErrorCode(FileKind kind);

}  // namespace qm::platform
