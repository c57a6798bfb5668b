// Encrypted items through the component: the password event and the built-in dialog, skipping,
// the integrity checks after decryption, and IsFilePasswordValid.
#include <gtest/gtest.h>

#include "encryption_test_support.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "right one";

struct CipherCase {
  const char* name;
  CryptoAlgorithm algorithm;
  std::size_t header_size;  // extra block and encryption header in front of the data
};
void PrintTo(const CipherCase& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<std::uint8_t> kText = Bytes(std::string(5000, 't') + "end of text");
const std::vector<std::uint8_t> kData = [] {
  std::vector<std::uint8_t> v(70000);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return v;
}();

class EncryptedExtraction : public ::testing::TestWithParam<CipherCase> {
 protected:
  void SetUp() override {
    // Fixed classic header bytes: a wrong password used below then fails the check byte on
    // every run, not all but once in 256.
    RepeatableRandom random;
    const std::vector<PlainEntry> entries = {{"small.txt", kText, true},
                                             {"data.bin", kData, false}};
    const auto bytes = BuildEncryptedArchive(entries, GetParam().algorithm, kPassword);
    WriteFile(archive_path(), std::string(bytes.begin(), bytes.end()));
  }
  fs::path archive_path() const { return dir_ / "enc.zip"; }
  void Open(ZipArchiver& archiver, const std::string& password) {
    archiver.SetFileName(dir_.U16("enc.zip"));
    archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
    archiver.SetPassword(password);
    archiver.SetBaseDir(dir_.U16("out"));
  }
  void ExpectExtracted() const {
    EXPECT_TRUE(ReadFile(dir_ / "out" / "small.txt") == std::string(kText.begin(), kText.end()));
    EXPECT_TRUE(ReadFile(dir_ / "out" / "data.bin") == std::string(kData.begin(), kData.end()));
  }
  void ExpectNothingExtracted() const {
    EXPECT_FALSE(fs::exists(dir_ / "out" / "small.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "data.bin"));
  }
  ScratchDir dir_;
};

TEST_P(EncryptedExtraction, WrongPasswordReachesThePasswordEvent) {
  ZipArchiver archiver;
  Open(archiver, "wrong");
  std::vector<std::u16string> asked;
  archiver.OnPassword = [&](BaseArchiver&, const std::u16string& name, std::string& password,
                            bool& skip) {
    asked.push_back(name);
    EXPECT_EQ(password, asked.size() == 1 ? "wrong" : "still wrong");
    EXPECT_FALSE(skip);
    password = asked.size() == 1 ? "still wrong" : kPassword;
  };
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  // Asked twice for the first item; its answer is the component's password from then on.
  EXPECT_EQ(asked, (std::vector<std::u16string>{u"small.txt", u"small.txt"}));
  EXPECT_EQ(archiver.Password(), kPassword);
  EXPECT_TRUE(archiver.LastRunComplete());
  ExpectExtracted();
}

TEST_P(EncryptedExtraction, SkipAtThePasswordEventLeavesNoFile) {
  ZipArchiver archiver;
  Open(archiver, "");
  int asked = 0;
  archiver.OnPassword = [&](BaseArchiver&, const std::u16string&, std::string&, bool& skip) {
    ++asked;
    skip = true;
  };
  int failures = 0;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                      int, const std::u16string&, Action&) { ++failures; };
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(failures, 0) << "a skipped item is not a failure";
  EXPECT_EQ(archiver.IncompleteFileCount(), 2);
  ExpectNothingExtracted();
}

TEST_P(EncryptedExtraction, BuiltInDialogAsksForThePassword) {
  ScriptedPrompter prompter({}, {u"right one"});
  ZipArchiver archiver;
  Open(archiver, "wrong");
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  EXPECT_EQ(prompter.captions, (std::vector<std::u16string>{u"Password for \"small.txt\""}));
  ExpectExtracted();
}

TEST_P(EncryptedExtraction, CancelInTheBuiltInDialogSkipsTheItem) {
  ScriptedPrompter prompter;
  ZipArchiver archiver;
  Open(archiver, "wrong");
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  EXPECT_EQ(prompter.captions.size(), 2u);
  EXPECT_TRUE(prompter.texts.empty()) << "no failure prompt for a skipped item";
  ExpectNothingExtracted();
}

TEST_P(EncryptedExtraction, IsFilePasswordValidNeverAsks) {
  ScriptedPrompter prompter({}, {u"right one", u"right one"});
  ZipArchiver archiver;
  Open(archiver, "component password");
  int events = 0;
  for (bool with_handler : {false, true}) {
    if (with_handler) {
      archiver.OnPassword = [&](BaseArchiver&, const std::u16string&, std::string&, bool& skip) {
        ++events;
        skip = true;
      };
    }
    for (const std::u16string item : {u"small.txt", u"data.bin"}) {
      SCOPED_TRACE(Utf8(item));
      EXPECT_TRUE(archiver.IsFilePasswordValid(item, kPassword));
      EXPECT_FALSE(archiver.IsFilePasswordValid(item, "wrong"));
      EXPECT_FALSE(archiver.IsFilePasswordValid(item, ""));
    }
  }
  EXPECT_TRUE(prompter.captions.empty());
  EXPECT_EQ(events, 0);
  EXPECT_EQ(archiver.Password(), "component password");
}

TEST_P(EncryptedExtraction, DamagedCiphertextFailsTheItem) {
  // One bit of the stored item's data, past the encryption header.
  std::string bytes = ReadFile(archive_path());
  ZipArchiver probe;
  Open(probe, kPassword);
  const DirItem& item = probe.DMHandle()->CDir.GetItem(1);
  ASSERT_EQ(Utf8(item.Name), "data.bin");
  const std::uint64_t data_start = item.LocalHeaderOffset() + ZipLocalHeader::kEncodedLength +
                                   item.CentralDir.nameLength + GetParam().header_size;
  probe.CloseArchive();
  bytes.at(data_start + 40000) ^= 0x04;
  WriteFile(archive_path(), bytes);

  ZipArchiver archiver;
  Open(archiver, kPassword);
  std::vector<int> errors;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name, ProcessOperation,
                                      int native, int, const std::u16string&, Action& action) {
    EXPECT_EQ(name, u"data.bin");
    errors.push_back(native);
    action = Action::fxaIgnore;
  };
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  EXPECT_EQ(errors, std::vector<int>{8});
  EXPECT_TRUE(ReadFile(dir_ / "out" / "small.txt") == std::string(kText.begin(), kText.end()));
  EXPECT_FALSE(fs::exists(dir_ / "out" / "data.bin"));
  errors.clear();
  archiver.TestFiles(u"*.*", 0x28BF, u"");
  EXPECT_EQ(errors, std::vector<int>{8});
}

INSTANTIATE_TEST_SUITE_P(
    Ciphers, EncryptedExtraction,
    // The AES extra block is 4 + 7 bytes.
    ::testing::Values(CipherCase{"classic", CryptoAlgorithm::caPkzipClassic, 12},
                      CipherCase{"aes128", CryptoAlgorithm::caAES_128, 11 + 10},
                      CipherCase{"aes256", CryptoAlgorithm::caAES_256, 11 + 18}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qm::archive::testing
