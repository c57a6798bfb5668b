#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>

#include "app/main_window.h"
#include "app/name_changer.h"
#include "app/startup.h"
#include "archive/archive_error.h"
#include "archive/prompter.h"
#include "client_home.h"
#include "platform/stream_errors.h"
#include "platform/text.h"
#include "qt_app.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;

// Answers the engine's questions as a user would, and remembers what was asked.
class ScriptedPrompter : public archive::Prompter {
 public:
  explicit ScriptedPrompter(archive::PromptButton answer) : answer_(answer) {
    archive::InstallPrompter(this);
  }
  ~ScriptedPrompter() override { archive::InstallPrompter(nullptr); }
  archive::PromptButton Confirm(std::u16string_view text, archive::PromptButtons) override {
    questions.emplace_back(text);
    return answer_;
  }
  bool AskPassword(std::u16string_view, std::u16string_view, std::u16string&) override {
    return false;
  }
  std::vector<std::u16string> questions;

 private:
  archive::PromptButton answer_;
};

// A packed client, with a copy of its archive kept aside to compare against. The full-size
// client (hundreds of classes) is for the end-to-end run; the failure cases need only a few
// packages, which keeps them quick.
struct PackedClient {
  testing::ClientHome home;
  fs::path original;
  explicit PackedClient(int packages = 1) {
    testing::BuildClientJar(home.client(), "DrexoValmin", packages);
    original = home.bin().parent_path() / "original.jar";
    fs::copy_file(home.client(), original);
  }
  fs::path working() const { return home.bin() / "quillmark.zip"; }
};

// Flips bytes in the middle of one entry's stored data, so its CRC fails.
void DamageEntry(const fs::path& archive, const std::string& entry) {
  const std::string script =
      "import zipfile,struct,sys\n"
      "p,n=sys.argv[1],sys.argv[2]\n"
      "i=zipfile.ZipFile(p).getinfo(n)\n"
      "d=bytearray(open(p,'rb').read())\n"
      "o=i.header_offset\n"
      "s=o+30+struct.unpack('<H',d[o+26:o+28])[0]+struct.unpack('<H',d[o+28:o+30])[0]\n"
      "m=s+i.compress_size//2\n"
      "d[m]^=0xFF;d[m+1]^=0x55\n"
      "open(p,'wb').write(d)\n";
  testing::WriteFileBytes(archive.parent_path() / "damage.py", script);
  ASSERT_EQ(testing::RunCommand("python3 '" + (archive.parent_path() / "damage.py").string() +
                                "' '" + archive.string() + "' '" + entry + "'"),
            0);
  fs::remove(archive.parent_path() / "damage.py");
}

// The whole start-up as a user meets it: the window's creation unpacks the client and shows
// the name; closing the window writes the new one, which the game then reads.
TEST(FirstRun, TheWindowUnpacksThePackedClientShowsAndSavesTheName) {
  testing::QtApp();
  PackedClient client(8);
  MainWindow window;
  std::vector<std::u16string> errors;
  window.ShowError = [&](std::exception_ptr e) { errors.push_back(ExceptionDisplayText(e)); };
  window.FormCreate();
  ASSERT_TRUE(errors.empty()) << platform::Utf16ToUtf8(errors[0]);
  EXPECT_EQ(window.Edit1()->text(), "DrexoValmin");
  EXPECT_TRUE(fs::is_directory(client.home.client()));
  EXPECT_FALSE(fs::exists(client.working()));
  std::string report;
  EXPECT_TRUE(testing::DirectoryMatchesArchive(client.original, client.home.client(), &report))
      << report;

  window.Edit1()->setText("Renamed");
  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(testing::RunApplet(client.home.client()), "Renamed");
  NameChanger next_start;
  EXPECT_EQ(next_start.FormCreate(), u"Renamed");
}

TEST(FirstRun, AnUnpackedClientIsLeftAsItIs) {
  testing::ClientHome home;
  home.InstallUnpacked("Someone");
  testing::WriteFileBytes(home.bin() / "quillmark.zip", "not touched");
  NameChanger changer;
  EXPECT_EQ(changer.FormCreate(), u"Someone");
  EXPECT_EQ(ReadFileBytes(home.bin() / "quillmark.zip"), "not touched");
}

TEST(FirstRun, AJarThatIsNotAnArchiveStaysWhereItWas) {
  testing::ClientHome home;
  testing::WriteFileBytes(home.client(), std::string(5000, 'x'));
  NameChanger changer;
  EXPECT_THROW(changer.FormCreate(), archive::ArchiveError);
  EXPECT_EQ(ReadFileBytes(home.client()), std::string(5000, 'x'));
  EXPECT_FALSE(fs::exists(home.bin() / "quillmark.zip"));
}

TEST(FirstRun, ADamagedEntryAnsweredWithIgnoreLeavesTheClientPacked) {
  PackedClient client;
  DamageEntry(client.home.client(), "res/pack0/data.bin");
  const std::string damaged = ReadFileBytes(client.home.client());
  ScriptedPrompter ignore(archive::PromptButton::kIgnore);
  NameChanger changer;
  try {
    changer.FormCreate();
    FAIL() << "an incomplete unpacking was not reported";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("not unpacked completely"), std::string::npos) << e.what();
  }
  ASSERT_EQ(ignore.questions.size(), 1u);
  EXPECT_NE(ignore.questions[0].find(u"File processing error, possibly disk is full"),
            std::u16string::npos);
  EXPECT_TRUE(fs::is_regular_file(client.home.client()));
  EXPECT_EQ(ReadFileBytes(client.home.client()), damaged);
  EXPECT_FALSE(fs::exists(client.working()));
}

TEST(FirstRun, AbortingAtTheFailurePromptAlsoKeepsTheClient) {
  PackedClient client;
  DamageEntry(client.home.client(), "res/pack0/data.bin");
  ScriptedPrompter abort(archive::PromptButton::kAbort);
  NameChanger changer;
  EXPECT_THROW(changer.FormCreate(), std::runtime_error);
  EXPECT_TRUE(fs::is_regular_file(client.home.client()));
  EXPECT_FALSE(fs::exists(client.working()));
}

TEST(FirstRun, AWorkingArchiveLeftByAnInterruptedStartRestoresTheClient) {
  PackedClient client;
  fs::rename(client.home.client(), client.working());
  NameChanger changer;
  EXPECT_EQ(changer.FormCreate(), u"DrexoValmin");
  EXPECT_TRUE(fs::is_directory(client.home.client()));
  EXPECT_FALSE(fs::exists(client.working()));
}

TEST(FirstRun, ALeftoverBesideANewerClientArchiveIsKeptAside) {
  PackedClient client;
  testing::WriteFileBytes(client.working(), "older leftover");
  NameChanger changer;
  EXPECT_EQ(changer.FormCreate(), u"DrexoValmin");
  EXPECT_TRUE(fs::is_directory(client.home.client()));
  EXPECT_EQ(ReadFileBytes(client.home.bin() / "quillmark.zip.1"), "older leftover");
}

TEST(FirstRun, WithoutAnyClientNothingIsTouched) {
  testing::ClientHome home;
  NameChanger changer;
  EXPECT_THROW(changer.FormCreate(), platform::FileOpenError);
  EXPECT_FALSE(fs::exists(home.bin()));
}

}  // namespace
}  // namespace qm::app
