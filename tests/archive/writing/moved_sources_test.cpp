// Moving files into an archive deletes each source only once its bytes are in the archive and
// only while it is still what was read: an edit made meanwhile, or another file put in its
// place, stays on disk and the failure event says so. Later commits delete nothing again, and
// a moved folder takes the empty folders below it along, never one that holds a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "archive/archive_error.h"
#include "archive/zip_archiver.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/memory_stream.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
constexpr std::time_t kWhen = 1700000000;

struct Failure {
  std::string name;
  int native;
  bool operator==(const Failure&) const = default;
};

// An archive m.zip with src/ as its base folder, recording the failures it is told of (each
// answered with ignore, as qmzip answers those of deleting).
struct MoveScene {
  ScratchDir dir;
  ZipArchiver archiver;
  std::vector<Failure> failures;

  MoveScene() {
    dir.Write("src/a.txt", "alpha");
    dir.Write("src/b.txt", "beta");
    archiver.SetFileName(dir.U16("m.zip"));
    archiver.SetBaseDir(dir.U16("src"));
    archiver.Options().Recurse = true;
    archiver.OnProcessFileFailure = [this](BaseArchiver&, const std::u16string& name,
                                           ProcessOperation, int native, int, const std::u16string&,
                                           Action& action) {
      failures.push_back({InScene(Utf8(name)), native});
      action = Action::fxaIgnore;
    };
    archiver.OpenArchive();
  }
  // A path the engine reports, as a "/" path below the scene's folder, whatever separators,
  // prefix and trailing separator the platform gave it.
  std::string InScene(std::string path) const {
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.ends_with('/')) path.pop_back();
    const std::string folder = dir.path().filename().string() + "/";
    const std::size_t at = path.find(folder);
    return at == std::string::npos ? path : path.substr(at + folder.size());
  }
  std::string Read(const std::string& name) {
    platform::MemoryStream data;
    archiver.ExtractToStream(std::u16string(name.begin(), name.end()), data);
    std::string bytes(static_cast<std::size_t>(data.Size()), '\0');
    data.SetPosition(0);
    data.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
  }
};

TEST(MovedSources, ASourceChangedAfterItWasReadStaysOnDisk) {
  struct Case {
    std::string label;
    std::function<void(const fs::path&)> change;
  };
  const Case cases[] = {
      {"written to", [](const fs::path& file) { WriteFile(file, "beta, edited meanwhile"); }},
      {"replaced by another file of the same size",
       [](const fs::path& file) {
         WriteFile(file.string() + ".new", "BETA");
         fs::rename(file.string() + ".new", file);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MoveScene scene;
    const fs::path b = scene.dir / "src/b.txt";
    std::string on_disk;
    // The change comes once b.txt's record is written, before the sources are deleted.
    scene.archiver.OnFileProgress = [&](BaseArchiver&, const std::u16string& name, double,
                                        ProcessOperation, ProgressPhase phase, bool&) {
      if (phase == ProgressPhase::ppEnd && Utf8(name).ends_with("b.txt")) {
        c.change(b);
        on_disk = ReadFile(b);
      }
    };
    scene.archiver.MoveFiles(u"*.txt", kAll, u"");
    EXPECT_FALSE(fs::exists(scene.dir / "src/a.txt"));
    ASSERT_TRUE(fs::exists(b));
    EXPECT_EQ(ReadFile(b), on_disk);
    EXPECT_EQ(scene.Read("b.txt"), "beta");
    EXPECT_EQ(scene.failures,
              (std::vector<Failure>{{"src/b.txt", static_cast<int>(ErrorSite::kSourceChanged)}}));
  }
}

TEST(MovedSources, ALaterCommitDeletesNothingAgain) {
  MoveScene scene;
  scene.archiver.MoveFiles(u"a.txt", kAll, u"");
  ASSERT_FALSE(fs::exists(scene.dir / "src/a.txt"));
  // A new file under the moved name is not the one moved.
  scene.dir.Write("src/a.txt", "a new file");
  scene.archiver.AddFromString(u"x.txt", u"x", 0x20, kWhen);
  EXPECT_EQ(ReadFile(scene.dir / "src/a.txt"), "a new file");
  // Gone again: nothing to report either.
  fs::remove(scene.dir / "src/a.txt");
  scene.archiver.AddFromString(u"y.txt", u"y", 0x20, kWhen);
  scene.archiver.RenameFile(u"a.txt", u"moved.txt");
  EXPECT_TRUE(scene.failures.empty());
  EXPECT_EQ(scene.Read("moved.txt"), "alpha");
}

TEST(MovedSources, AMovedFolderGoesWithItsEmptyFoldersButNotWithAFile) {
  struct Case {
    std::string label;
    std::vector<std::string> made_after_the_walk;  // folders end in "/"
    bool folder_stays;
  };
  const Case cases[] = {
      {"empty folders that are no entries", {"d/late/", "d/late/deeper/", "d/sub/also/"}, false},
      {"a file that is no entry", {"d/late/", "d/sub/kept.txt"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MoveScene scene;
    scene.dir.Write("src/d/f.txt", "f");
    scene.dir.Write("src/d/sub/g.txt", "g");
    scene.archiver.BeginUpdate();
    scene.archiver.MoveFiles(u"d", kAll, u"");
    for (const std::string& made : c.made_after_the_walk) {
      if (made.ends_with('/')) {
        fs::create_directories(scene.dir / "src" / made);
      } else {
        scene.dir.Write("src/" + made, "not moved");
      }
    }
    scene.archiver.EndUpdate();
    EXPECT_FALSE(fs::exists(scene.dir / "src/d/f.txt"));
    EXPECT_FALSE(fs::exists(scene.dir / "src/d/sub/g.txt"));
    EXPECT_EQ(fs::exists(scene.dir / "src/d"), c.folder_stays);
    if (c.folder_stays) {
      EXPECT_EQ(ReadFile(scene.dir / "src/d/sub/kept.txt"), "not moved");
      EXPECT_FALSE(fs::exists(scene.dir / "src/d/late"));
      EXPECT_EQ(scene.failures, (std::vector<Failure>{
                                    {"src/d/sub", static_cast<int>(ErrorSite::kCannotDeleteFolder)},
                                    {"src/d", static_cast<int>(ErrorSite::kCannotDeleteFolder)}}));
    } else {
      EXPECT_TRUE(scene.failures.empty());
    }
    // The other files of src/ were not moved.
    EXPECT_EQ(ReadFile(scene.dir / "src/a.txt"), "alpha");
  }
}

}  // namespace
}  // namespace qm::archive::testing
