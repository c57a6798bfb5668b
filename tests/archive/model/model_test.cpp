// Random transactions against a plain model of the archive (model/sequence.h). The test run
// walks a fixed range of seeds with the known hazards switched off; a campaign runs by hand:
//   QM_MODEL_SEEDS=1000-20000 QM_MODEL_HAZARDS=all build/default/tests/archive/archive_tests
//       --gtest_filter='ModelSequences.*'
// (QM_MODEL_HAZARDS takes "all" or names from model/hazards.cpp; QM_MODEL_VERBOSE=1 prints
// each transaction.) A finding names its seed; QM_MODEL_SEEDS=<seed> replays it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fixture_tools.h"
#include "model/raw_zip.h"
#include "model/sequence.h"

namespace qm::archive::testing {
namespace {

using model::SequenceOptions;
using model::SequenceStats;

// The hazards (model/hazards.cpp) whose faults are mended: the fixed run meets them too. A
// campaign adds the others through QM_MODEL_HAZARDS.
constexpr const char* kMendedHazards =
    "directory_order,duplicate_names,case_variants,commit_after_move,ignored_moved_replacement,"
    "ignored_twice_added,overlong_rename";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

TEST(ModelSequences, EveryTransactionLeavesTheStateTheModelPredicts) {
  std::uint64_t first = 1;
  std::uint64_t last = 120;
  if (const std::string seeds = Env("QM_MODEL_SEEDS"); !seeds.empty()) {
    const std::size_t dash = seeds.find('-');
    first = std::stoull(seeds.substr(0, dash));
    last = dash == std::string::npos ? first : std::stoull(seeds.substr(dash + 1));
  }
  SequenceOptions options;
  std::string error;
  ASSERT_TRUE(model::Hazards::Parse(kMendedHazards, options.hazards, error)) << error;
  ASSERT_TRUE(model::Hazards::Parse(Env("QM_MODEL_HAZARDS"), options.hazards, error)) << error;
  options.verbose = !Env("QM_MODEL_VERBOSE").empty();
  options.run_tool = [](const std::string& command, const std::filesystem::path& folder,
                        std::string& output) {
    CommandResult result = RunShell(command, folder);
    output = std::move(result.output);
    return result.exit_code;
  };
  ScratchDir dir;
  SequenceStats total;
  long failed_seeds = 0;
  for (std::uint64_t seed = first; seed <= last; ++seed) {
    if (options.verbose) std::printf("seed %llu\n", static_cast<unsigned long long>(seed));
    model::SeededDraw draw(seed);
    const auto findings = model::RunSequence(draw, options, dir / "run", total);
    for (const std::string& finding : findings) {
      ADD_FAILURE() << "seed " << seed << " (hazards " << options.hazards.Names()
                    << "): " << finding;
    }
    failed_seeds += findings.empty() ? 0 : 1;
  }
  std::printf("seeds %llu-%llu: %s; %ld seeds with findings\n",
              static_cast<unsigned long long>(first), static_cast<unsigned long long>(last),
              total.Summary().c_str(), failed_seeds);
  // The run must have met what it is meant to meet.
  if (last - first >= 30) {
    EXPECT_GT(total.failing_calls, 10);
    EXPECT_GT(total.power_cuts, 5);
  }
}

// The fixture writer is what the sequences start from: other readers must see in it what it
// was told to write, including a directory listed in another order than the records lie.
TEST(ModelSequences, FixturesWithAReorderedDirectoryReadTheSameEverywhere) {
  ScratchDir dir;
  std::vector<model::FixtureEntry> entries = {
      {"first.txt", std::string(3000, 'f'), 0x58210000, 0x20, "one", true},
      {"dir/", "", 0x58210000, 0x10, "", false},
      {"ünï/日本語.txt", "text", 0x58210000, 0x21, "", false},
  };
  model::WriteFixture(dir / "f.zip", entries, {2, 0, 1}, "archive note");
  model::RawArchive raw;
  std::string error;
  ASSERT_TRUE(model::ReadRawArchive(dir / "f.zip", raw, error)) << error;
  ASSERT_EQ(raw.entries.size(), 3u);
  EXPECT_EQ(raw.entries[0].name, "ünï/日本語.txt");
  EXPECT_EQ(raw.entries[1].data, std::string(3000, 'f'));
  EXPECT_EQ(raw.comment, "archive note");
  MustRun("unzip -tqq f.zip", dir.path());
  MustRun("7zz t -bd f.zip", dir.path());
  MustRunPython(
      "import zipfile\n"
      "z = zipfile.ZipFile('f.zip')\n"
      "assert [i.filename for i in z.infolist()] == ['ünï/日本語.txt', 'first.txt', 'dir/'], "
      "z.namelist()\n"
      "assert z.read('first.txt') == b'f' * 3000\n"
      "assert z.getinfo('first.txt').comment == b'one'\n"
      "assert z.comment == b'archive note'\n",
      dir.path());
}

}  // namespace
}  // namespace qm::archive::testing
