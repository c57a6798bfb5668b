// libFuzzer target for writing: the fuzzer's bytes choose a sequence of transactions (adding,
// updating, moving, deleting, renaming, attributes and comments, merging, cancelling, failing
// calls and power cuts), which runs against the plain model of tests/archive/model. It runs on
// the real disk in a temporary folder, since the commit's tail file, renames and folder
// flushes need a file system that the memory platform does not imitate. Any difference from
// the model is a crash with the story of the sequence.
// QM_MODEL_HAZARDS (see model/hazards.cpp) lets it meet the faults known to be open.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "model/sequence.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "qm-transactions-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(Folder(), ignored);
    });
    return fs::path(pattern);
  }();
  return folder;
}

const qm::archive::model::SequenceOptions& Options() {
  static const qm::archive::model::SequenceOptions options = [] {
    qm::archive::model::SequenceOptions o;
    o.max_transactions = 6;
    o.fault_one_in = 3;
    // No run_tool: an external process per input would slow the search down.
    std::string error;
    // Every hazard by default: the faults behind them are mended, so meeting one is a finding.
    const char* hazards = std::getenv("QM_MODEL_HAZARDS");
    if (hazards == nullptr) hazards = "all";
    if (!qm::archive::model::Hazards::Parse(hazards, o.hazards, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    return o;
  }();
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::archive::model::ByteDraw draw(data, size);
  qm::archive::model::SequenceStats stats;
  const auto findings = qm::archive::model::RunSequence(draw, Options(), Folder() / "run", stats);
  for (const std::string& finding : findings) std::fprintf(stderr, "%s\n", finding.c_str());
  if (!findings.empty()) std::abort();
  return 0;
}
