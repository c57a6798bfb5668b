// Repair keeps what it decodes to itself and loses nothing whatever fails. The decoded data
// and the new archive live in owner-only files of its own beside the output (never in the
// system's temporary folder, never a file others may read); they are gone on every way out.
// A failure at any call of the system leaves the damaged archive as it was and an output that
// stood before as it was; a repair that completes leaves a sound archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_error.h"
#include "archive/zip_archiver.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"
#include "platform/platform_wrapper.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

std::error_code Broken() {
  return std::make_error_code(std::errc::io_error);
}

struct Calls {
  long fail_at = -1;  // the call that fails, counted from 1
  long count = 0;
  std::string failed;  // what it was
  // Files made other than by CreatePrivateFile, and the modes of those made by it.
  std::vector<std::string> made_openly;
  std::vector<unsigned> private_modes;

  bool Fail(const std::string& what) {
    if (++count != fail_at) return false;
    failed = what;
    return true;
  }
};

class CountedFile final : public platform::File {
 public:
  CountedFile(std::unique_ptr<platform::File> inner, Calls& calls)
      : inner_(std::move(inner)), calls_(calls) {}
  std::size_t Read(void* b, std::size_t n, std::error_code& e) override {
    if (calls_.Fail("read")) {
      e = Broken();
      return 0;
    }
    return inner_->Read(b, n, e);
  }
  std::size_t Write(const void* b, std::size_t n, std::error_code& e) override {
    if (calls_.Fail("write")) {
      e = Broken();
      return 0;
    }
    return inner_->Write(b, n, e);
  }
  std::int64_t Seek(std::int64_t o, Origin w, std::error_code& e) override {
    if (calls_.Fail("seek")) {
      e = Broken();
      return -1;
    }
    return inner_->Seek(o, w, e);
  }
  std::int64_t Size(std::error_code& e) override {
    if (calls_.Fail("size")) {
      e = Broken();
      return -1;
    }
    return inner_->Size(e);
  }
  std::error_code Truncate(std::int64_t s) override {
    return calls_.Fail("truncate") ? Broken() : inner_->Truncate(s);
  }
  std::error_code Flush() override { return calls_.Fail("flush") ? Broken() : inner_->Flush(); }
  std::error_code SetAttributes(std::uint32_t a, std::optional<std::uint32_t> m) override {
    return calls_.Fail("set attributes") ? Broken() : inner_->SetAttributes(a, m);
  }
  std::optional<platform::FileStatus> Status() override { return inner_->Status(); }

 private:
  std::unique_ptr<platform::File> inner_;
  Calls& calls_;
};

class CountedDisk final : public platform::PlatformWrapper {
 public:
  explicit CountedDisk(Calls& calls)
      : PlatformWrapper(platform::Platform::Native()), calls_(calls) {}

  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    if (calls_.Fail("open")) {
      error = Broken();
      return nullptr;
    }
    if (platform::file_mode::IsCreate(mode))
      calls_.made_openly.push_back(platform::Utf16ToUtf8(path));
    auto file = target().OpenFile(path, mode, error);
    return file ? std::make_unique<CountedFile>(std::move(file), calls_) : nullptr;
  }
  std::unique_ptr<platform::File> CreatePrivateFile(const std::u16string& path,
                                                    std::error_code& error) override {
    if (calls_.Fail("create private")) {
      error = Broken();
      return nullptr;
    }
    auto file = target().CreatePrivateFile(path, error);
    if (!file) return nullptr;
    // Platforms without permission bits answer 0 and are not asked about them.
    if (const auto status = target().GetFileStatus(path, false); status && status->unix_mode != 0)
      calls_.private_modes.push_back(status->unix_mode & 0777);
    return std::make_unique<CountedFile>(std::move(file), calls_);
  }
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    calls_.made_openly.push_back("a temporary file in " + platform::Utf16ToUtf8(directory));
    if (calls_.Fail("create temp")) {
      error = Broken();
      return {};
    }
    return target().CreateTempFile(directory, prefix, error);
  }
  std::error_code DeleteFile(const std::u16string& path) override {
    return calls_.Fail("delete") ? Broken() : target().DeleteFile(path);
  }
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    return calls_.Fail("replace") ? Broken() : target().ReplaceFile(from, to);
  }
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    return calls_.Fail("move") ? Broken() : target().MoveFile(from, to);
  }
  std::error_code FlushDirectory(const std::u16string& path) override {
    return calls_.Fail("flush folder") ? Broken() : target().FlushDirectory(path);
  }
  std::error_code SetUnixPermissions(const std::u16string& path, std::uint32_t mode) override {
    return calls_.Fail("set permissions") ? Broken() : target().SetUnixPermissions(path, mode);
  }

 private:
  Calls& calls_;
};

// A damaged archive of an owner-only, encrypted kind of content: one entry's data damaged.
void MakeDamaged(const ScratchDir& dir) {
  dir.MakeTree();
  MustRun("zip -q -r tree.zip a.txt empty.txt docs && chmod 600 tree.zip", dir.path());
  DamageEntry(dir / "tree.zip", "docs/b.txt");
}

struct Outcome {
  bool completed = false;
  std::string error;
  int repaired = 0;
  int skipped = 0;
};

Outcome Repair(const ScratchDir& dir, Calls& calls, const std::u16string& output) {
  CountedDisk disk(calls);
  platform::ScopedPlatform installed(disk);
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("tree.zip"));
  try {
    archiver.RepairArchive(output);
    return {true, {}, archiver.RepairedFileCount(), archiver.RepairSkippedCount()};
  } catch (const std::exception& e) {
    return {false, e.what()};
  }
}

TEST(RepairFaults, DecodedDataStaysInOwnerOnlyFilesOfItsOwnThatAreGoneAfterwards) {
  for (const bool in_place : {false, true}) {
    SCOPED_TRACE(in_place ? "in place" : "into out.zip");
    ScratchDir dir;
    MakeDamaged(dir);
    Calls calls;
    const Outcome outcome = Repair(dir, calls, in_place ? u"" : dir.U16("out.zip"));
    ASSERT_TRUE(outcome.completed) << outcome.error;
    EXPECT_EQ(outcome.repaired, 3);
    EXPECT_EQ(outcome.skipped, 1);
    EXPECT_TRUE(calls.made_openly.empty()) << calls.made_openly.front();
    const std::string result = in_place ? "tree.zip" : "out.zip";
    if (!calls.private_modes.empty()) {
      EXPECT_EQ(calls.private_modes, (std::vector<unsigned>{0600, 0600}));
      // As readable as the damaged archive, no more.
      EXPECT_EQ(fs::status(dir / result).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(RunShell("unzip -tqq " + result, dir.path()).exit_code, 0);
    std::set<std::string> names;
    for (const auto& [name, content] : FilesWithContent(dir.path())) names.insert(name);
    std::set<std::string> expected = {"a.txt",     "docs/b.txt", "docs/sub/c.bin",
                                      "empty.txt", "fixture.py", "tree.zip"};
    if (!in_place) expected.insert("out.zip");
    EXPECT_EQ(names, expected);
  }
}

TEST(RepairFaults, AFailureAtAnyCallLosesNothingAndLeavesNothingBehind) {
  ScratchDir dir;
  MakeDamaged(dir);
  WriteFile(dir / "out.zip", "the output as it stood");
  const auto before = FilesWithContent(dir.path());
  long total = 0;
  {
    Calls calls;
    ASSERT_TRUE(Repair(dir, calls, dir.U16("out.zip")).completed);
    total = calls.count;
    for (const auto& [name, content] : before) WriteFile(dir / name, content);
  }
  ASSERT_GT(total, 20);
  for (long k = 1; k <= total; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    Calls calls;
    calls.fail_at = k;
    const Outcome outcome = Repair(dir, calls, dir.U16("out.zip"));
    SCOPED_TRACE("a failed " + calls.failed + ": " + outcome.error);
    auto after = FilesWithContent(dir.path());
    // The damaged archive is only read.
    EXPECT_EQ(after["tree.zip"], before.at("tree.zip"));
    if (outcome.completed) {
      // An entry that could not be read counts as damaged; none is lost unaccounted for.
      EXPECT_EQ(outcome.repaired + outcome.skipped, 4);
      EXPECT_EQ(RunShell("unzip -tqq out.zip", dir.path()).exit_code, 0);
      after["out.zip"] = before.at("out.zip");
    }
    // Only a failed deletion of its own file may leave that file behind.
    if (calls.failed == "delete") {
      std::erase_if(after, [](const auto& f) { return f.first.ends_with(".qmtmp"); });
    }
    EXPECT_EQ(after, before);
    for (const auto& [name, content] : before) WriteFile(dir / name, content);
    for (const auto& [name, content] : FilesWithContent(dir.path())) {
      if (!before.contains(name)) fs::remove(dir / name);
    }
  }
}

}  // namespace
}  // namespace qm::archive::testing
