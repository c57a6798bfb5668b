#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// `qmzip comment ARCHIVE [TEXT]`: replaces the archive comment with TEXT, or with standard
// input when no text is given (one final line break dropped). An empty text removes it.
// `qmzip comment ARCHIVE --entry MASK [TEXT]` gives the entries the mask finds that comment.
void AddCommentCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
