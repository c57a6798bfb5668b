// Hostile destinations: links already standing in the destination folder, and existing files
// that an item replaces. Nothing is written, created or changed outside the base folder
// through a link, and an existing file goes only once its new content is whole.
#include <gtest/gtest.h>

#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// The archive holds sub/evil.txt and victim.txt; `outside` is a folder beside the base.
void MakeArchive(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "with zipfile.ZipFile('in.zip', 'w') as z:\n"
          "  z.writestr('sub/evil.txt', 'from the archive')\n"
          "  z.writestr('victim.txt', 'from the archive')\n");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "outside");
}

struct LinkCase {
  const char* label;
  const char* link;    // below out/
  const char* target;  // relative to the scratch folder
  bool sub_refused;    // sub/evil.txt fails (a link where a folder goes)
};

TEST(DestinationLinks, AreNeverFollowed) {
  const LinkCase cases[] = {
      {"folder link leading outside", "sub", "outside", true},
      {"dangling link named like an entry", "victim.txt", "outside/created.txt", false},
      {"link to an outside file", "victim.txt", "outside/precious.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    if (!CanMakeSymbolicLinks(dir.path())) GTEST_SKIP() << "no symbolic links here";
    MakeArchive(dir);
    WriteFile(dir / "outside/precious.txt", "precious");
    fs::permissions(dir / "outside/precious.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(fs::absolute(dir / c.target), dir / "out" / c.link);
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "in.zip");
    archiver.SetBaseDir(dir.U16("out"));
    archiver.Options().OverwriteMode = OverwriteMode::omAlways;
    std::vector<std::u16string> failed;
    archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name, ProcessOperation,
                                        int, int, const std::u16string&, Action& action) {
      failed.push_back(name);
      action = Action::fxaIgnore;
    };
    archiver.ExtractFiles(u"*.*", kAll, u"");
    // Outside: exactly what was there before, with its mode.
    EXPECT_EQ(TreeOf(dir / "outside"), std::set<std::string>{"precious.txt"});
    EXPECT_EQ(ReadFile(dir / "outside/precious.txt"), "precious");
    EXPECT_EQ(fs::status(dir / "outside/precious.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    if (c.sub_refused) {
      EXPECT_EQ(failed.size(), 1u);
    } else {
      EXPECT_TRUE(failed.empty());
      // The link where a file goes was replaced by the file.
      EXPECT_FALSE(fs::is_symlink(dir / "out/victim.txt"));
      EXPECT_EQ(ReadFile(dir / "out/victim.txt"), "from the archive");
    }
  }
}

// A damaged item that would overwrite a file leaves the old file as it was.
TEST(Overwrite, AFailedItemKeepsTheOldFile) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "with zipfile.ZipFile('in.zip', 'w') as z:\n"
          "  z.writestr('keep.txt', 'new content ' * 50)\n");
  DamageEntry(dir / "in.zip", "keep.txt");
  dir.Write("out/keep.txt", "old content");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "in.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.Options().OverwriteMode = OverwriteMode::omAlways;
  int failures = 0;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                      int, const std::u16string&, Action& action) {
    ++failures;
    action = Action::fxaIgnore;
  };
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(ReadFile(dir / "out/keep.txt"), "old content");
  EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"keep.txt"}) << "no temporary file left";
}

}  // namespace
}  // namespace qm::archive::testing
