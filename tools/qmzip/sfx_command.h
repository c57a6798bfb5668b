#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qm::qmzip {

// The folder part of a disk path, with its final separator ("" when it has none).
std::u16string FolderPart(const std::u16string& path);

// `qmzip sfx ARCHIVE OUT [--stub FILE]`: OUT becomes the self-extractor stub (qmzip-sfx beside
// qmzip unless --stub names another) followed by ARCHIVE.
void AddSfxCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
