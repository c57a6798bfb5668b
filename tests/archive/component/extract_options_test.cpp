// Extraction to files: overwrite decisions, read-only files, CreateDirs, the single-name path,
// the order of events, cancelling, and the answers to failures and passwords.
#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "archive/format_text.h"
#include "extract_helpers.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
using platform::Platform;

constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
// The time every item of the fixtures carries.
const std::uint32_t kItemTime = platform::PackDosDateTime({2020, 5, 17, 10, 20, 30});

// a/ (folder), a/b.txt, c.txt, sub/c.txt, all dated kItemTime.
void MakeSmallArchive(const ScratchDir& dir, const std::string& name = "small.zip") {
  MakeZip(dir.path(),
          "t = (2020, 5, 17, 10, 20, 30)\n"
          "with zipfile.ZipFile('" +
              name +
              "', 'w', zipfile.ZIP_DEFLATED) as z:\n"
              "  z.writestr(zipfile.ZipInfo('a/', t), '')\n"
              "  z.writestr(zipfile.ZipInfo('a/b.txt', t), 'bee')\n"
              "  z.writestr(zipfile.ZipInfo('c.txt', t), 'new c')\n"
              "  z.writestr(zipfile.ZipInfo('sub/c.txt', t), 'sub c')\n");
}

std::u16string U16(const fs::path& p) {
  return platform::Utf8ToUtf16(p.string());
}

struct OverwriteCase {
  const char* label;
  OverwriteMode mode;
  int file_age;  // the existing file's time against the item's: -1 older, 0 same, +1 newer
  bool handler_answer;
  bool replaced;
};

TEST(Overwrite, ModesDecideAboutAnExistingFile) {
  const OverwriteCase cases[] = {
      {"always", OverwriteMode::omAlways, 0, false, true},
      {"never", OverwriteMode::omNever, -1, false, false},
      {"if newer, file older", OverwriteMode::omIfNewer, -1, false, true},
      {"if newer, same time", OverwriteMode::omIfNewer, 0, false, false},
      {"if newer, file newer", OverwriteMode::omIfNewer, 1, false, false},
      {"if older, file newer", OverwriteMode::omIfOlder, 1, false, true},
      {"if older, same time", OverwriteMode::omIfOlder, 0, false, false},
      {"if older, file older", OverwriteMode::omIfOlder, -1, false, false},
      {"prompt, handler confirms", OverwriteMode::omPrompt, 0, true, true},
      {"prompt, handler declines", OverwriteMode::omPrompt, 0, false, false},
  };
  ScratchDir dir;
  MakeSmallArchive(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path out = dir / "out";
    fs::remove_all(out);
    dir.Write("out/c.txt", "old");
    const std::uint32_t file_time =
        c.file_age < 0   ? platform::PackDosDateTime({2019, 1, 1, 0, 0, 0})
        : c.file_age > 0 ? platform::PackDosDateTime({2021, 1, 1, 0, 0, 0})
                         : kItemTime;
    ASSERT_FALSE(Platform::Current().SetLastWriteDosTime(U16(out / "c.txt"), file_time));

    ZipArchiver archiver;
    OpenForReading(archiver, dir / "small.zip");
    archiver.SetBaseDir(U16(out));
    archiver.Options().OverwriteMode = c.mode;
    std::vector<std::string> asked;
    archiver.OnConfirmOverwrite = [&](BaseArchiver&, const std::u16string& source,
                                      std::u16string& dest, bool& confirm) {
      EXPECT_FALSE(confirm);
      asked.push_back(Utf8(source) + " -> " + Utf8(dest));
      confirm = c.handler_answer;
    };
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_EQ(ReadFile(out / "c.txt"), c.replaced ? "new c" : "old");
    EXPECT_EQ(ReadFile(out / "sub/c.txt"), "sub c");
    EXPECT_EQ(archiver.ProcessedFileNo(), 4);
    EXPECT_EQ(archiver.LastRunComplete(), c.replaced);
    EXPECT_EQ(archiver.KeptFileCount(), c.replaced ? 0 : 1);
    if (c.mode == OverwriteMode::omPrompt) {
      EXPECT_EQ(asked, std::vector<std::string>{"c.txt -> " + (out / "c.txt").string()});
    }
  }
}

struct PromptCase {
  PromptButton answer;
  const char* first;
  const char* second;
  int questions;
  OverwriteMode mode_after;
};

TEST(Overwrite, BuiltInPromptAnswersHoldAsTheButtonsSay) {
  const PromptCase cases[] = {
      {PromptButton::kYes, "new c", "sub c", 2, OverwriteMode::omPrompt},
      {PromptButton::kNo, "old", "old", 2, OverwriteMode::omPrompt},
      {PromptButton::kNone, "old", "old", 2, OverwriteMode::omPrompt},  // dismissed: No
      {PromptButton::kYesToAll, "new c", "sub c", 1, OverwriteMode::omAlways},
      {PromptButton::kNoToAll, "old", "old", 1, OverwriteMode::omNever},
  };
  ScratchDir dir;
  MakeSmallArchive(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    fs::remove_all(dir / "out");
    dir.Write("out/c.txt", "old");
    dir.Write("out/sub/c.txt", "old");
    ScriptedPrompter prompter({c.answer});
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "small.zip");
    archiver.SetBaseDir(dir.U16("out"));
    archiver.Options().OverwriteMode = OverwriteMode::omPrompt;
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_EQ(ReadFile(dir / "out/c.txt"), c.first);
    EXPECT_EQ(ReadFile(dir / "out/sub/c.txt"), c.second);
    ASSERT_EQ(static_cast<int>(prompter.texts.size()), c.questions);
    EXPECT_EQ(prompter.texts[0], FormatText(u"Overwrite file \"%s\" with \"%s\"",
                                            {dir.U16("out/c.txt"), std::u16string(u"c.txt")}));
    EXPECT_EQ(prompter.button_sets[0], PromptButtons::kYesNoNoToAllYesToAll);
    EXPECT_EQ(archiver.Options().OverwriteMode, c.mode_after);
  }
}

TEST(Overwrite, ReadOnlyFileIsReplacedOnlyWhenAllowed) {
  for (const bool replace : {true, false}) {
    SCOPED_TRACE(replace);
    ScratchDir dir;
    MakeSmallArchive(dir);
    dir.Write("out/c.txt", "old");
    ASSERT_FALSE(
        Platform::Current().SetAttributes(dir.U16("out/c.txt"), platform::attr::kReadOnly));
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "small.zip");
    archiver.SetBaseDir(dir.U16("out"));
    archiver.Options().ReplaceReadOnly = replace;
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_EQ(ReadFile(dir / "out/c.txt"), replace ? "new c" : "old");
    // The replacement carries the item's attributes, not the old file's.
    EXPECT_EQ(Platform::Current().GetAttributes(dir.U16("out/c.txt")) & platform::attr::kReadOnly,
              replace ? 0u : platform::attr::kReadOnly);
    EXPECT_EQ(archiver.LastRunComplete(), replace);
  }
}

TEST(CreateDirsOff, FilesGoStraightIntoTheBaseDirectory) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "with zipfile.ZipFile('flat.zip', 'w') as z:\n"
          "  z.writestr('a/', '')\n"
          "  z.writestr('a/b.txt', 'bee')\n"
          "  z.writestr('c.txt', 'see')\n");
  fs::create_directories(dir / "out");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "flat.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.Options().CreateDirs = false;
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(TreeOf(dir / "out"), (std::set<std::string>{"b.txt", "c.txt"}));

  // Without the base directory every file fails with native error 19.
  archiver.SetBaseDir(dir.U16("missing"));
  std::vector<int> natives;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                      int native, int, const std::u16string&,
                                      Action&) { natives.push_back(native); };
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(natives, (std::vector<int>{19, 19}));
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

// Every event of one run, as text.
struct EventLog {
  std::vector<std::string> events;
  bool with_process = false;
  void Attach(ZipArchiver& archiver) {
    archiver.OnOverallProgress = [this](BaseArchiver&, double progress, ProcessOperation,
                                        ProgressPhase phase, bool&) {
      if (phase == ProgressPhase::ppStart) events.push_back("overall start " + Pct(progress));
      if (phase == ProgressPhase::ppEnd) events.push_back("overall end " + Pct(progress));
    };
    archiver.OnFileProgress = [this](BaseArchiver&, const std::u16string& name, double progress,
                                     ProcessOperation, ProgressPhase phase, bool&) {
      if (phase == ProgressPhase::ppStart) events.push_back("start " + Utf8(name));
      if (phase == ProgressPhase::ppEnd)
        events.push_back("end " + Utf8(name) + " " + Pct(progress));
      if (phase == ProgressPhase::ppProcess && with_process) events.push_back("data " + Utf8(name));
    };
    archiver.OnConfirmProcessFile = [this](BaseArchiver&, const std::u16string& name,
                                           ProcessOperation operation, bool& confirm) {
      EXPECT_TRUE(confirm);
      EXPECT_EQ(operation, ProcessOperation::poExtract);
      events.push_back("confirm " + Utf8(name));
    };
    archiver.OnExtractFile = [this](BaseArchiver&, std::u16string& name, std::uint32_t&,
                                    const std::string&) {
      events.push_back("extract " + Utf8(name));
    };
  }
  static std::string Pct(double p) { return std::to_string(static_cast<int>(p)); }
};

TEST(SingleName, PlainNameWithoutRecurseTakesTheOneItemByName) {
  struct Case {
    bool recurse;
    std::u16string mask;
    std::set<std::string> written;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {false,
       u"c.txt",
       {"c.txt"},
       {"overall start 0", "confirm c.txt", "start c.txt", "extract c.txt", "end c.txt 100",
        "overall end 100"}},
      {true,
       u"c.txt",
       {"c.txt", "sub/", "sub/c.txt"},
       {"overall start 0", "confirm c.txt", "start c.txt", "extract c.txt", "end c.txt 100",
        "confirm sub/c.txt", "start sub/c.txt", "extract sub/c.txt", "end sub/c.txt 100",
        "overall end 100"}},
      // A plain name that finds nothing raises no event at all; a wildcard mask still
      // brackets its empty run with the overall events.
      {false, u"none.txt", {}, {}},
      {false, u"*.none", {}, {"overall start 0", "overall end 100"}},
  };
  ScratchDir dir;
  MakeSmallArchive(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.mask) + (c.recurse ? " recursive" : ""));
    fs::remove_all(dir / "out");
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "small.zip");
    archiver.SetBaseDir(dir.U16("out"));
    archiver.Options().Recurse = c.recurse;
    EventLog log;
    log.Attach(archiver);
    archiver.ExtractFiles(c.mask, kAll, u"");
    EXPECT_EQ(TreeOf(dir / "out"), c.written);
    std::vector<std::string> expected_events;
    for (const auto& event : c.events) expected_events.push_back(NativeSeparators(event));
    EXPECT_EQ(log.events, expected_events);
    EXPECT_TRUE(archiver.LastRunComplete());
  }
}

TEST(Events, FolderEntriesAreCreatedAndFileProgressSeesPlatformNames) {
  ScratchDir dir;
  MakeSmallArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "small.zip");
  archiver.SetBaseDir(dir.U16("out"));
  EventLog log;
  log.with_process = true;
  log.Attach(archiver);
  archiver.ExtractFiles(u"*.*", kAll, u"");
  const std::string sep(1, static_cast<char>(platform::kPathSeparator));
  const std::string b = "a" + sep + "b.txt";
  const std::vector<std::string> expected = {
      "overall start 0",  "confirm a" + sep,      "start a" + sep,
      "extract a" + sep,  "end a" + sep + " 100", "confirm " + b,
      "start " + b,       "extract " + b,         "data " + b,
      "end " + b + " 100"};
  ASSERT_GE(log.events.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.events.begin(), log.events.begin() + expected.size()),
            expected);
  EXPECT_EQ(log.events.back(), "overall end 100");
  EXPECT_TRUE(fs::is_directory(dir / "out/a"));
  EXPECT_EQ(Platform::Current().GetLastWriteDosTime(dir.U16("out/a/b.txt")), kItemTime);

  // The folder entry alone (so no file written into the folder changes its time afterwards):
  // the folder is made, and its time is not set from the item.
  archiver.SetBaseDir(dir.U16("folder_only"));
  archiver.ExtractFiles(u"a", kAll, u"");
  ASSERT_TRUE(fs::is_directory(dir / "folder_only/a"));
  EXPECT_FALSE(fs::exists(dir / "folder_only/a/b.txt"));
  const auto folder_time = Platform::Current().GetLastWriteDosTime(dir.U16("folder_only/a"));
  ASSERT_TRUE(folder_time.has_value());
  EXPECT_NE(*folder_time, kItemTime);
}

TEST(Events, ExtractFileHandlerRenamesAndDecliningEveryItemWritesNothing) {
  ScratchDir dir;
  MakeSmallArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "small.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.OnExtractFile = [](BaseArchiver&, std::u16string& name, std::uint32_t&,
                              const std::string&) {
    if (name == u"c.txt") name = u"renamed.txt";
  };
  archiver.ExtractFiles(u"c.txt", kAll, u"");
  EXPECT_EQ(TreeOf(dir / "out"), (std::set<std::string>{"renamed.txt", "sub/", "sub/c.txt"}));

  fs::remove_all(dir / "out");
  std::vector<std::string> overall;
  archiver.OnConfirmProcessFile = [](BaseArchiver&, const std::u16string&, ProcessOperation,
                                     bool& confirm) { confirm = false; };
  archiver.OnOverallProgress = [&](BaseArchiver&, double, ProcessOperation, ProgressPhase phase,
                                   bool&) {
    overall.push_back(phase == ProgressPhase::ppStart ? "start" : "end");
  };
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_FALSE(fs::exists(dir / "out"));
  EXPECT_EQ(archiver.ProcessedFileNo(), 0);
  EXPECT_EQ(overall, (std::vector<std::string>{"start", "end"}));
  EXPECT_FALSE(archiver.LastRunComplete());
  EXPECT_EQ(archiver.IncompleteFileCount(), 4);
  EXPECT_EQ(archiver.KeptFileCount(), 4);
}

TEST(Cancel, CancellingDuringAnItemDeletesItsFileAndEndsTheRun) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "import random\n"
          "random.seed(3)\n"
          "with zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('a.txt', 'first')\n"
          "  z.writestr('big.bin', random.randbytes(3 << 20))\n"
          "  z.writestr('z.txt', 'last')\n");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "big.zip");
  archiver.SetBaseDir(dir.U16("out"));
  int data_events = 0;
  archiver.OnFileProgress = [&](BaseArchiver&, const std::u16string& name, double progress,
                                ProcessOperation, ProgressPhase phase, bool& cancel) {
    if (phase == ProgressPhase::ppProcess && name == u"big.bin" && ++data_events == 2) {
      EXPECT_GT(progress, 0.0);
      // Partly written by now, under a temporary name until it is whole.
      EXPECT_FALSE(fs::exists(dir / "out/big.bin"));
      EXPECT_EQ(TreeOf(dir / "out").size(), 2u);
      cancel = true;
    }
  };
  std::vector<double> overall_end;
  archiver.OnOverallProgress = [&](BaseArchiver&, double progress, ProcessOperation,
                                   ProgressPhase phase, bool&) {
    if (phase == ProgressPhase::ppEnd) overall_end.push_back(progress);
  };
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"a.txt"});
  EXPECT_EQ(overall_end, std::vector<double>{100.0});
  EXPECT_TRUE(archiver.ProgressCancelled());
  EXPECT_EQ(archiver.ProcessedFileNo(), 1);
  EXPECT_FALSE(archiver.LastRunComplete());
  EXPECT_EQ(archiver.IncompleteFileCount(), 2);
}

// a.txt, b.txt (damaged), c.txt.
void MakeDamagedArchive(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "with zipfile.ZipFile('bad.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  for n in ('a.txt', 'b.txt', 'c.txt'):\n"
          "    z.writestr(n, (n + ' is a line of text\\n') * 200)\n");
  DamageEntry(dir / "bad.zip", "b.txt");
}

TEST(Failures, HandlerAnswersRetryIgnoreAndAbort) {
  struct Case {
    const char* label;
    std::vector<Action> answers;  // one per failure event; the last repeats
    std::set<std::string> written;
    int events;
  };
  const Case cases[] = {
      {"ignore goes on", {Action::fxaIgnore}, {"a.txt", "c.txt"}, 1},
      {"retry repeats the item",
       {Action::fxaRetry, Action::fxaRetry, Action::fxaIgnore},
       {"a.txt", "c.txt"},
       3},
      {"abort ends the run quietly", {Action::fxaAbort}, {"a.txt"}, 1},
  };
  ScratchDir dir;
  MakeDamagedArchive(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(dir / "out");
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "bad.zip");
    archiver.SetBaseDir(dir.U16("out"));
    int events = 0;
    archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name,
                                        ProcessOperation operation, int native, int code,
                                        const std::u16string& message, Action& action) {
      EXPECT_EQ(action, Action::fxaIgnore);
      EXPECT_EQ(name, u"b.txt");
      EXPECT_EQ(operation, ProcessOperation::poExtract);
      EXPECT_EQ(native, 8);
      EXPECT_EQ(code, 4);
      EXPECT_NE(message.find(u"Native error: 00008"), std::u16string::npos);
      action = c.answers[std::min<std::size_t>(events, c.answers.size() - 1)];
      ++events;
    };
    EXPECT_NO_THROW(archiver.ExtractFiles(u"*.*", kAll, u""));
    EXPECT_EQ(TreeOf(dir / "out"), c.written);
    EXPECT_EQ(events, c.events);
    EXPECT_FALSE(archiver.LastRunComplete());
  }
}

TEST(Failures, BuiltInPromptOffersAbortRetryIgnore) {
  ScratchDir dir;
  MakeDamagedArchive(dir);
  ScriptedPrompter prompter({PromptButton::kRetry, PromptButton::kIgnore});
  ZipArchiver archiver(u"Archiver1");
  OpenForReading(archiver, dir / "bad.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  ASSERT_EQ(prompter.texts.size(), 2u);
  EXPECT_EQ(prompter.texts[0], FormatText(u"%s. File processing error, possibly disk is full",
                                          {ArchiveError(8, u"Archiver1").Message()}));
  EXPECT_EQ(prompter.button_sets[0], PromptButtons::kAbortRetryIgnore);
  EXPECT_EQ(TreeOf(dir / "out"), (std::set<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(archiver.IncompleteFileCount(), 1);
}

TEST(Failures, WithoutAnyoneToAskTheRunAborts) {
  ScratchDir dir;
  MakeDamagedArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "bad.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"a.txt"});
  EXPECT_EQ(archiver.IncompleteFileCount(), 2);
}

TEST(Passwords, EncryptedItemWithoutTheRightPasswordIsSkippedAndLeavesNoFile) {
  ScratchDir dir;
  dir.MakeTree();
  // AES: a wrong guess passes the 2-byte verifier once in 65536 times (the classic check byte
  // would let one in 256 through, to fail later as damaged).
  MustRun(
      "7zz a -tzip -psecret -mem=AES256 locked.zip a.txt > /dev/null"
      " && zip -q locked.zip empty.txt",
      dir.path());

  // Nobody to ask: skipped, no failure, nothing written.
  {
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "locked.zip");
    archiver.SetBaseDir(dir.U16("out"));
    bool failed = false;
    archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                        int, const std::u16string&, Action&) { failed = true; };
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_FALSE(failed);
    EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"empty.txt"});
    EXPECT_FALSE(archiver.LastRunComplete());
    EXPECT_TRUE(archiver.IsFilePasswordValid(u"a.txt", "secret"));
    EXPECT_FALSE(archiver.IsFilePasswordValid(u"a.txt", "guess"));
    EXPECT_TRUE(archiver.IsFilePasswordValid(u"empty.txt", "anything"));
  }
  // A handler is asked until it skips; the built-in dialog names the item.
  {
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "locked.zip");
    archiver.SetBaseDir(dir.U16("out2"));
    std::vector<std::string> asked;
    archiver.OnPassword = [&](BaseArchiver&, const std::u16string& name, std::string& password,
                              bool& skip) {
      asked.push_back(Utf8(name) + ":" + password);
      password = "guess";
      skip = asked.size() == 2;
    };
    archiver.ExtractFiles(u"a.txt", kAll, u"");
    EXPECT_EQ(asked, (std::vector<std::string>{"a.txt:", "a.txt:guess"}));
    EXPECT_EQ(archiver.Password(), "guess");
    EXPECT_FALSE(fs::exists(dir / "out2/a.txt"));

    ScriptedPrompter prompter({}, {std::u16string(300, u'x')});
    archiver.OnPassword = nullptr;
    archiver.ExtractFiles(u"a.txt", kAll, u"");
    EXPECT_EQ(prompter.captions,
              (std::vector<std::u16string>{u"Password for \"a.txt\"", u"Password for \"a.txt\""}));
    EXPECT_EQ(archiver.Password(), std::string(255, 'x'));
  }
}

TEST(Guards, ClosedArchiveAndPendingUpdateAreRefused) {
  ZipArchiver archiver;
  try {
    archiver.ExtractFiles(u"*.*", kAll, u"");
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 13);
  }
  ScratchDir dir;
  MakeSmallArchive(dir);
  archiver.SetFileName(dir.U16("small.zip"));
  archiver.OpenArchive();
  archiver.BeginUpdate();
  try {
    archiver.ExtractFiles();
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 26);
  }
  archiver.CancelUpdate();
}

}  // namespace
}  // namespace qm::archive::testing
