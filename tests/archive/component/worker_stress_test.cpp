// The worker threads under load: many extraction, test and add runs one after another, with
// the read-ahead and encode-ahead workers on, each disturbed at a random point (seeded): a
// cancel from a progress event, a failure of the K-th system call, a full disk at the N-th
// write (the handler then makes room or gives up). Whatever happens, every run ends; every
// extracted file is whole and nothing half-written is left; an archive added to is the old one
// byte for byte or a sound new one; and no worker ever asks the system for anything. The runs
// are bounded in time; under ThreadSanitizer they show any race between the caller's thread
// and the workers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/memory_stream.h"
#include "platform/platform_wrapper.h"
#include "platform/processors.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
constexpr std::uint32_t kSeed = 20261211;
// Rounds run past the first of each kind while they take less than this.
constexpr auto kTimeBudget = std::chrono::seconds(3);

enum class Operation { kExtract, kTest, kAdd };
enum class Disturbance { kNone, kCancel, kFailedCall, kFullDisk };
constexpr Operation kOperations[] = {Operation::kExtract, Operation::kTest, Operation::kAdd};
constexpr Disturbance kDisturbances[] = {Disturbance::kNone, Disturbance::kCancel,
                                         Disturbance::kFailedCall, Disturbance::kFullDisk};

std::string NameOf(Operation op, Disturbance d) {
  const char* ops[] = {"extract", "test", "add"};
  const char* ds[] = {"undisturbed", "cancelled", "a failed call", "a full disk"};
  return std::string(ops[static_cast<int>(op)]) + ", " + ds[static_cast<int>(d)];
}

// What the platform does to one run: counts every call and write, fails the `fail_at`-th
// call or answers "no space" to the `full_at`-th write (0: never), and notes any call that does
// not come from the thread that runs the operation. The run's progress events are counted too.
struct Plan {
  std::thread::id caller = std::this_thread::get_id();
  long fail_at = 0;
  long full_at = 0;
  long calls = 0;
  long writes = 0;
  long progress_events = 0;
  std::atomic<long> foreign_calls{0};

  // Counts a call; true when it is the one to fail.
  bool Fails() {
    if (std::this_thread::get_id() != caller) ++foreign_calls;
    return ++calls == fail_at;
  }
  bool Full() { return ++writes == full_at; }
};

// Names as the engine hands them to callers, with "/" where the system separates with "\\".
std::string Slashed(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

std::error_code Broken() {
  return std::make_error_code(std::errc::io_error);
}

class DisturbedFile final : public platform::File {
 public:
  DisturbedFile(std::unique_ptr<platform::File> inner, Plan& plan)
      : inner_(std::move(inner)), plan_(plan) {}
  std::size_t Read(void* b, std::size_t n, std::error_code& e) override {
    if (plan_.Fails()) {
      e = Broken();
      return 0;
    }
    return inner_->Read(b, n, e);
  }
  std::size_t Write(const void* b, std::size_t n, std::error_code& e) override {
    if (plan_.Fails()) {
      e = Broken();
      return 0;
    }
    if (plan_.Full()) {
      e = std::make_error_code(std::errc::no_space_on_device);
      return 0;
    }
    return inner_->Write(b, n, e);
  }
  std::int64_t Seek(std::int64_t o, Origin w, std::error_code& e) override {
    if (plan_.Fails()) {
      e = Broken();
      return -1;
    }
    return inner_->Seek(o, w, e);
  }
  std::int64_t Size(std::error_code& e) override {
    if (plan_.Fails()) {
      e = Broken();
      return -1;
    }
    return inner_->Size(e);
  }
  std::error_code Truncate(std::int64_t s) override {
    return plan_.Fails() ? Broken() : inner_->Truncate(s);
  }
  std::error_code Flush() override { return plan_.Fails() ? Broken() : inner_->Flush(); }
  std::error_code SetLastWriteUnixTime(std::int64_t time) override {
    return plan_.Fails() ? Broken() : inner_->SetLastWriteUnixTime(time);
  }
  std::error_code SetLastWriteDosTime(std::uint32_t dos_time) override {
    return plan_.Fails() ? Broken() : inner_->SetLastWriteDosTime(dos_time);
  }
  std::error_code SetAttributes(std::uint32_t attributes,
                                std::optional<std::uint32_t> unix_mode) override {
    return plan_.Fails() ? Broken() : inner_->SetAttributes(attributes, unix_mode);
  }
  std::optional<platform::FileStatus> Status() override {
    return plan_.Fails() ? std::nullopt : inner_->Status();
  }

 private:
  std::unique_ptr<platform::File> inner_;
  Plan& plan_;
};

// The calls that make, open, move or remove files; the rest pass through uncounted.
class DisturbedDisk final : public platform::PlatformWrapper {
 public:
  explicit DisturbedDisk(Plan& plan) : PlatformWrapper(platform::Platform::Native()), plan_(plan) {}

  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    if (plan_.Fails()) {
      error = Broken();
      return nullptr;
    }
    return Wrapped(target().OpenFile(path, mode, error));
  }
  std::unique_ptr<platform::File> CreateTempFileIn(platform::Folder& folder,
                                                   const std::u16string& prefix,
                                                   std::u16string& name,
                                                   std::error_code& error) override {
    if (plan_.Fails()) {
      error = Broken();
      return nullptr;
    }
    return Wrapped(target().CreateTempFileIn(folder, prefix, name, error));
  }
  std::unique_ptr<platform::File> CreatePrivateFile(const std::u16string& path,
                                                    std::error_code& error) override {
    if (plan_.Fails()) {
      error = Broken();
      return nullptr;
    }
    return Wrapped(target().CreatePrivateFile(path, error));
  }
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    if (plan_.Fails()) {
      error = Broken();
      return {};
    }
    return target().CreateTempFile(directory, prefix, error);
  }
  std::error_code ReplaceFileIn(platform::Folder& folder, const std::u16string& from,
                                const std::u16string& to) override {
    return plan_.Fails() ? Broken() : target().ReplaceFileIn(folder, from, to);
  }
  std::error_code DeleteFileIn(platform::Folder& folder, const std::u16string& name) override {
    return plan_.Fails() ? Broken() : target().DeleteFileIn(folder, name);
  }
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    return plan_.Fails() ? Broken() : target().MoveFile(from, to);
  }
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    return plan_.Fails() ? Broken() : target().ReplaceFile(from, to);
  }
  std::error_code DeleteFile(const std::u16string& path) override {
    return plan_.Fails() ? Broken() : target().DeleteFile(path);
  }
  std::error_code CreateDirectories(const std::u16string& path) override {
    return plan_.Fails() ? Broken() : target().CreateDirectories(path);
  }
  std::error_code FlushDirectory(const std::u16string& path) override {
    return plan_.Fails() ? Broken() : target().FlushDirectory(path);
  }

 private:
  std::unique_ptr<platform::File> Wrapped(std::unique_ptr<platform::File> file) {
    if (!file) return file;
    return std::make_unique<DisturbedFile>(std::move(file), plan_);
  }

  Plan& plan_;
};

// Source files of many small sizes, text that deflates well and bytes that do not, and two
// larger than one encoder chunk, which go the ordinary way between the ones read ahead.
std::map<std::string, std::string> MakeSources(const ScratchDir& dir) {
  std::mt19937 random(kSeed);
  const std::string words[] = {"quill ", "mark ", "archive ", "thread ", "worker ", "\n"};
  std::map<std::string, std::string> files;
  for (int i = 0; i < 90; ++i) {
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 24000)(random);
    std::string content;
    if (i % 4 == 3) {
      while (content.size() < size) content.push_back(static_cast<char>(random()));
    } else {
      while (content.size() < size) content += words[random() % std::size(words)];
    }
    std::string name = i % 3 == 0 ? "deep/" : "";
    name += 'f';
    name += std::to_string(i);
    name += ".txt";
    files[name] = content;
  }
  files["big1.bin"] = std::string(0x200000, 'b');
  files["deep/big2.txt"] = std::string(0x90000, 'q') + files["f1.txt"];
  for (const auto& [name, content] : files) dir.Write("src/" + name, content);
  return files;
}

class WorkerStress : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::UsableProcessors() < 2) {
      GTEST_SKIP() << "one processor: the engine starts no worker thread";
    }
    sources_ = MakeSources(dir_);
    ZipArchiver archiver;
    archiver.SetFileName(dir_.U16("base.zip"));
    archiver.SetBaseDir(dir_.U16("src"));
    archiver.OpenArchive();
    archiver.AddFiles(u"*.*", kAll & ~0x10, u"");
    archiver.CloseArchive();
    base_bytes_ = ReadFile(dir_ / "base.zip");
    // The archive added to holds a few items already, two of which the run replaces.
    ZipArchiver old;
    old.SetFileName(dir_.U16("old.zip"));
    old.OpenArchive();
    old.BeginUpdate();
    old.AddFromString(u"kept.txt", u"kept across every run", 0x20, 1700000000);
    old.AddFromString(u"f2.txt", u"to be replaced", 0x20, 1700000000);
    old.AddFromString(u"deep/f3.txt", u"to be replaced too", 0x20, 1700000000);
    old.EndUpdate();
    old.CloseArchive();
    old_bytes_ = ReadFile(dir_ / "old.zip");
  }

  // Runs `op` once under `plan`, with the handlers of the disturbance, and checks what it
  // left. `cancel_at`: the file progress event that cancels (0: none).
  void Run(Operation op, Plan& plan, long cancel_at, bool make_room, int level) {
    fs::remove_all(dir_ / "out");
    fs::remove_all(dir_ / "work");
    fs::create_directories(dir_ / "work");
    WriteFile(dir_ / "work/work.zip", op == Operation::kAdd ? old_bytes_ : base_bytes_);
    bool failed = false;
    {
      DisturbedDisk disk(plan);
      platform::ScopedPlatform installed(disk);
      ZipArchiver archiver;
      archiver.OnFileProgress = [&](BaseArchiver&, const std::u16string&, double, ProcessOperation,
                                    ProgressPhase, bool& cancel) {
        if (++plan.progress_events == cancel_at) cancel = true;
      };
      archiver.OnDiskFull = [&](BaseArchiver&, int, const std::u16string&, bool& cancel) {
        cancel = !make_room;  // the full write was the only one: room is there again
      };
      archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                          int, int, const std::u16string&, Action& action) {
        action = make_room ? Action::fxaIgnore : Action::fxaAbort;
      };
      try {
        archiver.SetFileName(dir_.U16("work/work.zip"));
        if (op == Operation::kAdd) {
          archiver.SetCompressionMode(static_cast<std::uint8_t>(level));
          archiver.SetBaseDir(dir_.U16("src"));
          archiver.OpenArchive();
          archiver.AddFiles(u"*.*", kAll & ~0x10, u"");
        } else {
          archiver.OpenArchive();
          archiver.SetBaseDir(dir_.U16("out"));
          if (op == Operation::kExtract) {
            archiver.ExtractFiles(u"*.*", kAll, u"");
          } else {
            archiver.TestFiles(u"*.*", kAll, u"");
          }
        }
        // Adding is judged by the archive it leaves (CheckAdded).
        failed = op != Operation::kAdd && !archiver.LastRunComplete();
      } catch (const std::exception&) {
        failed = true;
      }
    }
    EXPECT_EQ(plan.foreign_calls, 0) << "a worker thread called the system";
    const bool disturbed = plan.fail_at > 0 || plan.full_at > 0 || cancel_at > 0;
    if (!disturbed) {
      EXPECT_FALSE(failed);
    }
    if (op == Operation::kExtract) CheckExtracted(!disturbed);
    if (op == Operation::kAdd) CheckAdded(!disturbed);
  }

  // Every file extracted is its source, whole; undisturbed, every one of them is there.
  void CheckExtracted(bool all) {
    const std::set<std::string> tree = TreeOf(dir_ / "out");
    std::size_t files = 0;
    for (const auto& name : tree) {
      if (name.ends_with('/')) continue;
      ++files;
      const auto source = sources_.find(name);
      ASSERT_NE(source, sources_.end()) << "left behind: " << name;
      ASSERT_EQ(ReadFile(dir_ / "out" / name), source->second) << name;
    }
    if (all) {
      EXPECT_EQ(files, sources_.size());
    }
  }

  // The archive is the old one, or a new one whose every item is sound and holds its source;
  // nothing else is left beside it.
  void CheckAdded(bool all) {
    EXPECT_EQ(TreeOf(dir_ / "work"), std::set<std::string>{"work.zip"});
    const std::string bytes = ReadFile(dir_ / "work/work.zip");
    if (bytes == old_bytes_) {
      EXPECT_FALSE(all);
      return;
    }
    ZipArchiver archiver;
    OpenForReading(archiver, dir_ / "work/work.zip");
    std::size_t from_sources = 0;
    ArchiveItem item;
    for (bool found = archiver.FindFirst(u"*.*", item, kAll, u""); found;
         found = archiver.FindNext(item)) {
      const std::u16string shown = item.StoredPath + item.FileName;
      const std::string name = Slashed(Utf8(shown));
      platform::MemoryStream content;
      ASSERT_NO_THROW(archiver.ExtractToStream(shown, content)) << name;
      const std::string got(content.Data().begin(), content.Data().end());
      const auto source = sources_.find(name);
      if (source == sources_.end()) {
        EXPECT_EQ(name, "kept.txt");
        EXPECT_EQ(got, "kept across every run");
        continue;
      }
      ++from_sources;
      EXPECT_TRUE(got == source->second || (name == "f2.txt" && got == "to be replaced") ||
                  (name == "deep/f3.txt" && got == "to be replaced too"))
          << name;
    }
    if (all) {
      EXPECT_EQ(from_sources, sources_.size());
    }
  }

  ScratchDir dir_;
  std::map<std::string, std::string> sources_;
  std::string base_bytes_;
  std::string old_bytes_;
};

TEST_F(WorkerStress, DisturbedRunsAtRandomPointsLoseNothingAndLeaveNothingHalfDone) {
  // How many calls, writes and progress events an undisturbed run of each kind makes: the
  // random points are drawn from those.
  std::map<Operation, Plan> whole;
  for (const Operation op : kOperations) {
    SCOPED_TRACE(NameOf(op, Disturbance::kNone));
    Run(op, whole[op], 0, true, 6);
    ASSERT_GT(whole[op].calls, 20);
  }
  std::mt19937 random(kSeed);
  const auto start = std::chrono::steady_clock::now();
  int rounds = 0;
  for (;; ++rounds) {
    const int kinds = std::size(kOperations) * std::size(kDisturbances);
    if (rounds >= kinds && std::chrono::steady_clock::now() - start > kTimeBudget) break;
    // The first rounds take every kind once, in order; then at random.
    const int kind = rounds < kinds ? rounds : static_cast<int>(random() % kinds);
    const Operation op = kOperations[kind / std::size(kDisturbances)];
    const Disturbance disturbance = kDisturbances[kind % std::size(kDisturbances)];
    const Plan& counted = whole[op];
    Plan plan;
    long cancel_at = 0;
    const bool make_room = random() % 2 == 0;
    const int level = 1 + static_cast<int>(random() % 9);
    switch (disturbance) {
      case Disturbance::kNone:
        break;
      case Disturbance::kCancel:
        cancel_at = 1 + static_cast<long>(random() % std::max(counted.progress_events, 1L));
        break;
      case Disturbance::kFailedCall:
        plan.fail_at = 1 + static_cast<long>(random() % counted.calls);
        break;
      case Disturbance::kFullDisk:
        plan.full_at = 1 + static_cast<long>(random() % std::max(counted.writes, 1L));
        break;
    }
    SCOPED_TRACE("round " + std::to_string(rounds) + " (seed " + std::to_string(kSeed) + "): " +
                 NameOf(op, disturbance) + ", call " + std::to_string(plan.fail_at) + ", write " +
                 std::to_string(plan.full_at) + ", event " + std::to_string(cancel_at) +
                 (make_room ? ", room made" : "") + ", level " + std::to_string(level));
    Run(op, plan, cancel_at, make_room, level);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GE(rounds, 12);
  RecordProperty("rounds", rounds);
}

}  // namespace
}  // namespace qm::archive::testing
