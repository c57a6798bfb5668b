// Random transactions against the model. A sequence starts from a fixture archive and runs
// transactions drawn from `Draw`: adding buffers, streams, disk files and folders, updating
// and freshening from disk, moving, deleting, renaming, changing attributes and comments,
// merging another archive, cancelling and committing (by EndUpdate or by closing). Some
// transactions meet a failing platform call or a power cut at a random write. After every
// transaction the archive is reopened and compared with the model: a commit that succeeded
// gives the new state, one that failed or was cancelled the old one, and one cut off by a
// power failure the old or the new one, whole, on the next open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/draw.h"
#include "model/hazards.h"

namespace qm::archive::model {

struct SequenceOptions {
  Hazards hazards;
  int max_transactions = 12;
  // Transactions that meet a failing call or a power cut: one in `fault_one_in` (0: none).
  std::uint32_t fault_one_in = 4;
  // Runs a shell command in a folder and gives back its exit code and output; when set, each
  // sequence ends with `unzip -t` and `7zz t` of the archive through it.
  std::function<int(const std::string& command, const std::filesystem::path& folder,
                    std::string& output)>
      run_tool;
  // Prints each transaction as it runs.
  bool verbose = false;
};

struct SequenceStats {
  long sequences = 0;
  long transactions = 0;
  long operations = 0;
  long failing_calls = 0;          // transactions run with a failing call armed
  long failing_calls_reached = 0;  // of those, how many got as far as the failing call
  long failures_seen = 0;          // and how many reported a failure
  long power_cuts = 0;             // transactions cut off by a power failure
  long cuts_old = 0;               // after which the old state came back
  long cuts_new = 0;               // after which the new state came back
  long findings = 0;
  void Add(const SequenceStats& other);
  std::string Summary() const;
};

// Runs one sequence in `folder` (which it empties first). Returns the findings: what differed
// from the model, with the transactions that led there; empty when everything held.
std::vector<std::string> RunSequence(Draw& draw, const SequenceOptions& options,
                                     const std::filesystem::path& folder, SequenceStats& stats);

}  // namespace qm::archive::model
