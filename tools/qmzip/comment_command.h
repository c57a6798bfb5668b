#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// `qmzip comment ARCHIVE [TEXT]`: replaces the archive comment with TEXT, or with standard
// input when no text is given (one final line break dropped). An empty text removes it.
void AddCommentCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
