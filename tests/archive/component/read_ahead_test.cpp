// Reading ahead (one read for a run of small items, a second thread inflating them) must not
// show: a run over the archive file fires the same events in the same order, with the same
// answers taken, and leaves the same files as a run over a caller's stream of the same bytes,
// which is never read ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "extract_helpers.h"
#include "platform/memory_stream.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// Many small deflated items with, among them, a stored one, an empty one, one whose output
// is more than one call inflates, one whose data is more than one read, and two damaged ones.
void MakeManyItems(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "import random\n"
          "random.seed(7)\n"
          "words = [b'alpha', b'beta', b'gamma', b'delta', b'epsilon', b'zeta']\n"
          "with zipfile.ZipFile('many.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('top/', '')\n"
          "  for i in range(240):\n"
          "    n = random.randint(0, 6000)\n"
          "    z.writestr(f'top/t{i:03}.txt', b' '.join(random.choice(words) for _ in range(n)))\n"
          "    if i == 60: z.writestr('stored.bin', random.randbytes(5000), zipfile.ZIP_STORED)\n"
          "    if i == 90: z.writestr('zeros.bin', bytes(9 << 20))\n"
          "    if i == 120: z.writestr('noise.bin', random.randbytes(1200000))\n"
          "    if i == 150: z.writestr('empty.txt', b'')\n");
  DamageEntry(dir / "many.zip", "top/t100.txt");
  DamageEntry(dir / "many.zip", "top/t200.txt");
}

struct Observed {
  std::vector<std::string> events;
  std::set<std::string> tree;
  std::vector<std::string> contents;
};

// Item names as the events show them, with "/" wherever the system separates with "\\".
std::u16string Slashed(std::u16string name) {
  std::replace(name.begin(), name.end(), u'\\', u'/');
  return name;
}

// Extracts (or tests) every item, recording each event; `cancel_at` cancels at that item's
// start. Two handlers extract another item in the middle of the run.
Observed RunOver(ZipArchiver& archiver, const fs::path& out, bool test,
                 const std::u16string& cancel_at) {
  Observed run;
  auto record = [&](std::string line) { run.events.push_back(std::move(line)); };
  archiver.OnFileProgress = [&](BaseArchiver& sender, const std::u16string& shown_name,
                                double progress, ProcessOperation, ProgressPhase phase,
                                bool& cancel) {
    const std::u16string name = Slashed(shown_name);
    char text[64];
    std::snprintf(text, sizeof text, " %d %.9f", static_cast<int>(phase), progress);
    record("file " + Utf8(name) + text);
    if (name == cancel_at && phase == ProgressPhase::ppStart) cancel = true;
    std::u16string other;
    if (name == u"top/t050.txt" && phase == ProgressPhase::ppProcess) {
      sender.ExtractToString(u"top/t170.txt", other);  // while an item is being decoded
      record("nested " + std::to_string(other.size()));
    }
    if (name == u"top/t051.txt" && phase == ProgressPhase::ppEnd) {
      sender.ExtractToString(u"top/t230.txt", other);  // between two items
      record("nested " + std::to_string(other.size()));
    }
  };
  archiver.OnOverallProgress = [&](BaseArchiver&, double progress, ProcessOperation,
                                   ProgressPhase phase, bool&) {
    char text[64];
    std::snprintf(text, sizeof text, "overall %d %.9f", static_cast<int>(phase), progress);
    record(text);
  };
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name, ProcessOperation,
                                      int native, int, const std::u16string&, Action& action) {
    record("failure " + Utf8(Slashed(name)) + " " + std::to_string(native));
    action = Action::fxaIgnore;
  };
  archiver.SetBaseDir(platform::Utf8ToUtf16(out.string()));
  if (test) {
    archiver.TestFiles(u"*.*", kAll, u"");
  } else {
    archiver.ExtractFiles(u"*.*", kAll, u"");
  }
  record("done " + std::to_string(archiver.ProcessedFileCount()) + " " +
         std::to_string(archiver.IncompleteFileCount()));
  run.tree = TreeOf(out);
  for (const auto& name : run.tree) {
    if (!name.ends_with('/')) run.contents.push_back(ReadFile(out / name));
  }
  return run;
}

TEST(ReadAhead, ARunOverTheFileShowsWhatARunOverACallersStreamShows) {
  ScratchDir dir;
  MakeManyItems(dir);
  const std::string bytes = ReadFile(dir / "many.zip");
  for (const bool test : {false, true}) {
    for (const std::u16string cancel_at : {u"", u"top/t130.txt"}) {
      SCOPED_TRACE(std::string(test ? "test" : "extract") + " cancel at " + Utf8(cancel_at));
      fs::remove_all(dir / "file");
      fs::remove_all(dir / "stream");
      ZipArchiver from_file;
      OpenForReading(from_file, dir / "many.zip");
      const Observed ahead = RunOver(from_file, dir / "file", test, cancel_at);
      platform::MemoryStream stream(std::vector<unsigned char>(bytes.begin(), bytes.end()));
      ZipArchiver from_stream;
      from_stream.OpenArchive(stream, false);
      const Observed plain = RunOver(from_stream, dir / "stream", test, cancel_at);
      // The first event that differs, rather than the whole lists.
      const auto [differs, _] = std::mismatch(ahead.events.begin(), ahead.events.end(),
                                              plain.events.begin(), plain.events.end());
      const auto at = differs - ahead.events.begin();
      EXPECT_EQ(ahead.events.size(), plain.events.size());
      if (differs != ahead.events.end() && static_cast<std::size_t>(at) < plain.events.size()) {
        ADD_FAILURE() << "event " << at << ": " << *differs << " against " << plain.events[at];
      }
      EXPECT_EQ(ahead.tree, plain.tree);
      EXPECT_TRUE(ahead.contents == plain.contents);
      // Only the damaged items fail: the item whose progress handler extracts another one
      // keeps its own bytes.
      std::vector<std::string> failures;
      for (const auto& line : plain.events) {
        if (line.starts_with("failure ")) failures.push_back(line);
      }
      const std::vector<std::string> damaged = {"failure top/t100.txt 8", "failure top/t200.txt 8"};
      EXPECT_EQ(failures,
                cancel_at.empty() ? damaged : std::vector(damaged.begin(), damaged.begin() + 1));
      EXPECT_GT(ahead.events.size(), 300u);
    }
  }
}

}  // namespace
}  // namespace qm::archive::testing
