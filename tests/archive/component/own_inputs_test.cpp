// No operation destroys its own inputs. An output that is one of the operation's inputs under
// any name (the same spelling, "./", a hard link, a symbolic link) is refused before anything
// is made; an operation that fails removes only what it made itself. Files are compared whole
// before and after: nothing that stood may change.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "archive/archive_error.h"
#include "archive/zip_archiver.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

std::string Noise(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(gen());
  return bytes;
}

// a.zip (two entries) and a stub program beside it.
void MakeInputs(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "with zipfile.ZipFile('a.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('a.txt', 'alpha' * 40)\n"
          "  z.writestr('b.txt', 'beta')\n");
  WriteFile(dir / "stub", Noise(2000, 1));
}

// The other names a file can go by; answers the name to use ("" when links cannot be made).
using Alias = std::function<std::string(const ScratchDir&, const std::string& file)>;
const std::pair<const char*, Alias> kAliases[] = {
    {"the same name", [](const ScratchDir&, const std::string& f) { return f; }},
    {"another spelling", [](const ScratchDir&, const std::string& f) { return "./" + f; }},
    {"a hard link",
     [](const ScratchDir& dir, const std::string& f) {
       fs::create_hard_link(dir / f, dir / ("hard-" + f));
       return "hard-" + f;
     }},
    {"a symbolic link",
     [](const ScratchDir& dir, const std::string& f) -> std::string {
       if (!CanMakeSymbolicLinks(dir.path())) return "";
       fs::create_symlink(f, dir / ("soft-" + f));
       return "soft-" + f;
     }},
};

struct Operation {
  const char* label;
  const char* input;  // the input the output is made to be
  ErrorSite refused_with;
  std::function<void(ZipArchiver&, const ScratchDir&, const std::u16string& output)> run;
};
const Operation kOperations[] = {
    {"RepairArchive", "a.zip", ErrorSite::kOutputIsInput,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& out) {
       z.SetFileName(dir.U16("a.zip"));
       z.RepairArchive(out);
     }},
    {"MakeSFX over the archive", "a.zip", ErrorSite::kOutputIsInput,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& out) {
       z.SetFileName(dir.U16("a.zip"));
       z.SetSFXStub(dir.U16("stub"));
       z.MakeSFX(out);
     }},
    {"MakeSFX over the open archive", "a.zip", ErrorSite::kOutputIsInput,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& out) {
       z.SetFileName(dir.U16("a.zip"));
       z.OpenArchive();
       z.SetSFXStub(dir.U16("stub"));
       z.MakeSFX(out);
     }},
    {"MakeSFX over the stub", "stub", ErrorSite::kOutputIsInput,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& out) {
       z.SetFileName(dir.U16("a.zip"));
       z.SetSFXStub(dir.U16("stub"));
       z.MakeSFX(out);
     }},
    {"MergeWith", "a.zip", ErrorSite::kMergeIntoItself,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& other) {
       z.SetFileName(dir.U16("a.zip"));
       z.OpenArchive();
       z.MergeWith(other);
     }},
    {"a new archive made of its own stub", "stub", ErrorSite::kOutputIsInput,
     [](ZipArchiver& z, const ScratchDir& dir, const std::u16string& out) {
       z.SetSFXStub(dir.U16("stub"));
       z.SetFileName(out);
       z.OpenArchive(platform::file_mode::kCreate);
     }},
};

TEST(OwnInputs, AnOutputThatIsAnInputUnderAnyNameIsRefused) {
  for (const Operation& op : kOperations) {
    for (const auto& [alias_label, alias] : kAliases) {
      SCOPED_TRACE(std::string(op.label) + ", output named by " + alias_label);
      ScratchDir dir;
      MakeInputs(dir);
      const std::string name = alias(dir, op.input);
      if (name.empty()) continue;
      const auto before = FilesWithContent(dir.path());
      ZipArchiver archiver;
      try {
        op.run(archiver, dir, dir.U16(name));
        ADD_FAILURE() << "not refused";
      } catch (const ArchiveError& e) {
        EXPECT_TRUE(e.Is(op.refused_with)) << Utf8(e.Message());
      }
      archiver.CloseArchive();
      EXPECT_EQ(FilesWithContent(dir.path()), before);
    }
  }
}

TEST(OwnInputs, AnItemIsNeverExtractedOverItsArchive) {
  for (const auto& [alias_label, alias] : kAliases) {
    SCOPED_TRACE(std::string("archive opened by ") + alias_label);
    ScratchDir dir;
    MakeZip(dir.path(),
            "with zipfile.ZipFile('a.zip', 'w') as z:\n"
            "  z.writestr('a.zip', 'an item named like its archive')\n"
            "  z.writestr('b.txt', 'beta')\n");
    const std::string name = alias(dir, "a.zip");
    if (name.empty()) continue;
    const std::string archive_bytes = ReadFile(dir / "a.zip");
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16(name));
    archiver.SetBaseDir(dir.U16(""));
    archiver.Options().OverwriteMode = OverwriteMode::omAlways;
    std::vector<int> failures;
    archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                        int native, int, const std::u16string&, Action& action) {
      failures.push_back(native);
      action = Action::fxaIgnore;
    };
    archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
    archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
    archiver.CloseArchive();
    EXPECT_EQ(ReadFile(dir / "a.zip"), archive_bytes);
    EXPECT_EQ(ReadFile(dir / "b.txt"), "beta");
    EXPECT_EQ(failures, std::vector<int>{static_cast<int>(ErrorSite::kOutputIsInput)});
  }
}

TEST(OwnInputs, AFailedMakeSfxLeavesTheFileItWasToReplace) {
  ScratchDir dir;
  MakeInputs(dir);
  WriteFile(dir / "out.run", "an older self-extractor");
  // An archive with a stub already: refused once the archive is read, after the output was
  // looked at.
  WriteFile(dir / "stubbed.zip", "MZ" + ReadFile(dir / "a.zip"));
  const auto before = FilesWithContent(dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("stubbed.zip"));
  archiver.SetSFXStub(dir.U16("stub"));
  try {
    archiver.MakeSFX(dir.U16("out.run"));
    ADD_FAILURE() << "a stub on a stub";
  } catch (const ArchiveError& e) {
    EXPECT_TRUE(e.Is(ErrorSite::kAlreadyHasSfxStub)) << Utf8(e.Message());
  }
  EXPECT_EQ(FilesWithContent(dir.path()), before);

  // Made: it replaces the older one whole, and nothing else is left beside it.
  archiver.SetFileName(dir.U16("a.zip"));
  archiver.MakeSFX(dir.U16("out.run"));
  auto after = FilesWithContent(dir.path());
  EXPECT_EQ(after["out.run"], ReadFile(dir / "stub") + after["out.run"].substr(2000));
  after.erase("out.run");
  auto expected = before;
  expected.erase("out.run");
  EXPECT_EQ(after, expected);
  EXPECT_EQ(RunShell("unzip -tqq out.run", dir.path()).exit_code, 0);
}

TEST(OwnInputs, ASplitVolumeThatWouldBeLostToAnotherIsRefused) {
  struct Case {
    const char* label;
    const char* archive;
    const char* setup;   // shell commands run first
    const char* volume;  // the volume the refusal names
  };
  const Case cases[] = {
      // The last volume is renamed to the archive's name in the end: over the first.
      {"the first volume named like the archive", "x.z01", "", "x.z01"},
      // Making the second volume would empty the first through the link.
      {"a link to the first volume where the second goes", "set.zip", "ln -s set.z01 set.z02",
       "set.z02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    if (std::string(c.setup).find("ln -s") == 0 && !CanMakeSymbolicLinks(dir.path())) continue;
    dir.Write("src/noise.bin", Noise(200000, 2));
    if (*c.setup != '\0') MustRun(c.setup, dir.path());
    const auto before = FilesWithContent(dir.path());
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16(c.archive));
    archiver.SetSpanningMode(SpanningMode::smSplitting);
    archiver.SpanningOptions().SetVolumeSize(VolumeSize::vsCustom);
    archiver.SpanningOptions().SetCustomVolumeSize(65536);
    try {
      archiver.OpenArchive();
      archiver.SetBaseDir(dir.U16("src"));
      archiver.AddFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
      ADD_FAILURE() << "not refused";
    } catch (const ArchiveError& e) {
      EXPECT_TRUE(e.Is(ErrorSite::kVolumeNameClash)) << Utf8(e.Message());
      EXPECT_NE(Utf8(e.Message()).find(c.volume), std::string::npos) << Utf8(e.Message());
    }
    archiver.CloseArchive();
    EXPECT_EQ(FilesWithContent(dir.path()), before);
  }
}

}  // namespace
}  // namespace qm::archive::testing
