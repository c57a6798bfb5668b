// Encrypted items against real tools, at the level of the transforms: what 7-Zip and Info-ZIP
// encrypt, the transforms decrypt; what the transforms encrypt, wrapped into an archive here,
// 7-Zip and unzip decrypt.
#include <gtest/gtest.h>

#include <map>

#include "archive/directory/dir_array.h"
#include "archive/directory/dir_item.h"
#include "archive/encryption/cipher_factory.h"
#include "encryption_test_support.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "Secret pass 1";

// Files the archives hold: text that deflates well, an empty file, and more than one
// decoder chunk (1 MiB) of data that does not compress.
std::map<std::string, std::string> SampleFiles() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + " of the sample text\n";
  std::string big(1300000, '\0');
  std::uint32_t x = 12345;
  for (char& c : big) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 23);
  }
  return {{"small.txt", text}, {"empty.txt", ""}, {"big.bin", big}};
}

void WriteSamples(const ScratchDir& dir) {
  for (const auto& [name, content] : SampleFiles()) dir.Write(name, content);
}

struct DecodedItem {
  bool password_ok = false;
  bool verified = false;
  std::string data;
  std::uint16_t flags = 0;
  std::uint64_t data_offset = 0;  // where the encrypted data begins, after the header
};

// Decodes every item of `archive` with the transforms, as item decoding does: the password
// check on the header, decryption in 1 MiB chunks, inflation, then the end check.
std::map<std::string, DecodedItem> DecodeWithTransforms(const fs::path& archive,
                                                        const std::string& password) {
  ZipArchiver archiver;
  archiver.SetFileName(platform::Utf8ToUtf16(archive.string()));
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  platform::Stream& stream = *archiver.CompressedStream();
  DirArray& dir = archiver.DMHandle()->CDir;
  std::map<std::string, DecodedItem> result;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    DirItem& item = *dir.ItemPtr(i);
    DecodedItem& d = result[Utf8(item.Name)];
    EXPECT_TRUE(item.IsEncrypted()) << Utf8(item.Name);
    std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
    stream.SetPosition(static_cast<std::int64_t>(item.LocalHeaderOffset()));
    stream.ReadBuffer(fixed.data(), fixed.size());
    ByteReader in(fixed.data(), fixed.size());
    ZipLocalHeader local;
    local.DecodeFrom(in);
    d.flags = local.genPurposeFlag;
    stream.Seek(local.nameLength + local.extraLength, platform::Stream::Origin::kCurrent);

    const auto decipher = MakeItemDecipher(item, local);
    d.password_ok = decipher->CheckPassword(stream, password);
    d.data_offset = static_cast<std::uint64_t>(stream.Position());
    const std::uint64_t count =
        item.CompressedSize() -
        static_cast<std::uint64_t>(decipher->HeaderSize() + decipher->TrailerSize());
    std::vector<std::uint8_t> stored(count);
    for (std::uint64_t done = 0; done < count;) {
      const std::uint64_t n = std::min<std::uint64_t>(0x100000, count - done);
      std::span<std::uint8_t> chunk(stored.data() + done, n);
      stream.ReadBuffer(chunk.data(), chunk.size());
      decipher->Decrypt(chunk);
      done += n;
    }
    std::vector<std::uint8_t> plain;
    bool inflated = true;
    if (item.CompressionMethod == method::kDeflated) {
      inflated = RawInflate(stored, plain);
    } else {
      plain = std::move(stored);
    }
    d.verified = decipher->Verify(stream, item, Crc32(plain)) && inflated;
    d.data.assign(plain.begin(), plain.end());
  }
  return result;
}

// --- Archives made by real tools

struct ToolCase {
  const char* name;
  const char* command;   // run where the sample files are; writes out.zip
  bool data_descriptor;  // the entries carry flag bit 3
};
void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.name;
}

class RealToolEncryption : public ::testing::TestWithParam<ToolCase> {};

TEST_P(RealToolEncryption, TransformsDecryptEveryItem) {
  ScratchDir dir;
  WriteSamples(dir);
  MustRun(GetParam().command, dir.path());
  const auto files = SampleFiles();
  const auto decoded = DecodeWithTransforms(dir / "out.zip", kPassword);
  ASSERT_FALSE(decoded.empty());
  for (const auto& [name, d] : decoded) {
    SCOPED_TRACE(name);
    // Streamed input is stored as "-": the small text.
    const std::string expected = name == "-" ? files.at("small.txt") : files.at(name);
    EXPECT_TRUE(d.password_ok);
    EXPECT_TRUE(d.verified);
    EXPECT_EQ(d.data.size(), expected.size());
    EXPECT_TRUE(d.data == expected);
    EXPECT_EQ((d.flags & gpf::kDataDescriptor) != 0, GetParam().data_descriptor);
  }
}

TEST_P(RealToolEncryption, WrongPasswordIsRefused) {
  ScratchDir dir;
  WriteSamples(dir);
  MustRun(GetParam().command, dir.path());
  for (const auto& [name, d] : DecodeWithTransforms(dir / "out.zip", "wrong")) {
    SCOPED_TRACE(name);
    // One wrong classic password in 256 passes the header; the CRC then fails, except for an
    // empty item, which has nothing to check.
    if (name == "empty.txt") continue;
    EXPECT_FALSE(d.password_ok && d.verified);
  }
}

TEST_P(RealToolEncryption, ComponentExtractsEveryItemWithThePassword) {
  ScratchDir dir;
  WriteSamples(dir);
  MustRun(GetParam().command, dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("out.zip"));
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  archiver.SetPassword(kPassword);
  int asked = 0;
  archiver.OnPassword = [&](BaseArchiver&, const std::u16string&, std::string&, bool& skip) {
    ++asked;
    skip = true;
  };
  archiver.SetBaseDir(dir.U16("x"));
  archiver.ExtractFiles(u"*.*", 0x28BF, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  EXPECT_EQ(asked, 0);
  const auto files = SampleFiles();
  for (const auto& [name, d] : DecodeWithTransforms(dir / "out.zip", kPassword)) {
    SCOPED_TRACE(name);
    const std::string expected = name == "-" ? files.at("small.txt") : files.at(name);
    EXPECT_TRUE(ReadFile(dir / "x" / name) == expected);
  }
  archiver.TestFiles(u"*.*", 0x28BF, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
}

#define SAMPLES " small.txt empty.txt big.bin"
INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealToolEncryption,
    ::testing::Values(
        // Info-ZIP encrypts before it knows the CRC, even from files: its entries carry
        // flag bit 3 and their check byte is the time's high byte. 7-Zip's carry the CRC's.
        ToolCase{"zip_classic", "zip -q -P 'Secret pass 1' out.zip" SAMPLES, true},
        ToolCase{"zip_classic_stored", "zip -q -0 -P 'Secret pass 1' out.zip" SAMPLES, true},
        ToolCase{"zip_classic_streamed_output", "zip -q -P 'Secret pass 1' -" SAMPLES " > out.zip",
                 true},
        ToolCase{"zip_classic_streamed_input",
                 "cat small.txt | zip -q -P 'Secret pass 1' out.zip -", true},
        ToolCase{"sevenzip_zipcrypto",
                 "7zz a -tzip '-pSecret pass 1' -mem=ZipCrypto out.zip" SAMPLES " > /dev/null",
                 false},
        ToolCase{"sevenzip_zipcrypto_stored",
                 "7zz a -tzip '-pSecret pass 1' -mem=ZipCrypto -mx0 out.zip" SAMPLES " > /dev/null",
                 false},
        ToolCase{"sevenzip_aes128",
                 "7zz a -tzip '-pSecret pass 1' -mem=AES128 out.zip" SAMPLES " > /dev/null", false},
        ToolCase{"sevenzip_aes192_stored",
                 "7zz a -tzip '-pSecret pass 1' -mem=AES192 -mx0 out.zip" SAMPLES " > /dev/null",
                 false},
        ToolCase{"sevenzip_aes256",
                 "7zz a -tzip '-pSecret pass 1' -mem=AES256 out.zip" SAMPLES " > /dev/null", false},
        ToolCase{"sevenzip_aes256_stored",
                 "7zz a -tzip '-pSecret pass 1' -mem=AES256 -mx0 out.zip" SAMPLES " > /dev/null",
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

void FlipByte(const fs::path& file, std::uint64_t offset) {
  std::string bytes = ReadFile(file);
  bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x01);
  WriteFile(file, bytes);
}

TEST(RealToolDamage, FlippedCiphertextByteFailsAesAuthentication) {
  ScratchDir dir;
  WriteSamples(dir);
  MustRun("7zz a -tzip '-pSecret pass 1' -mem=AES256 -mx0 out.zip big.bin > /dev/null", dir.path());
  const auto before = DecodeWithTransforms(dir / "out.zip", kPassword);
  ASSERT_TRUE(before.at("big.bin").verified);
  FlipByte(dir / "out.zip", before.at("big.bin").data_offset + 700000);
  const auto after = DecodeWithTransforms(dir / "out.zip", kPassword);
  EXPECT_TRUE(after.at("big.bin").password_ok);
  EXPECT_FALSE(after.at("big.bin").verified);
}

TEST(RealToolDamage, FlippedClassicByteFailsTheCrc) {
  ScratchDir dir;
  WriteSamples(dir);
  MustRun("zip -q -0 -P 'Secret pass 1' out.zip small.txt", dir.path());
  const auto before = DecodeWithTransforms(dir / "out.zip", kPassword);
  ASSERT_TRUE(before.at("small.txt").verified);
  FlipByte(dir / "out.zip", before.at("small.txt").data_offset + 1000);
  const auto after = DecodeWithTransforms(dir / "out.zip", kPassword);
  EXPECT_TRUE(after.at("small.txt").password_ok);
  EXPECT_FALSE(after.at("small.txt").verified);
}

// --- Archives encrypted by our transforms

struct OursCase {
  const char* name;
  CryptoAlgorithm algorithm;
  bool unzip_reads_it;  // Info-ZIP unzip knows only the classic cipher
};
void PrintTo(const OursCase& c, std::ostream* os) {
  *os << c.name;
}

class OurEncryption : public ::testing::TestWithParam<OursCase> {};

TEST_P(OurEncryption, RealToolsDecryptIt) {
  ScratchDir dir;
  const auto files = SampleFiles();
  std::vector<PlainEntry> entries;
  for (const auto& [name, content] : files) {
    entries.push_back({name, Bytes(content), name == "small.txt"});
  }
  // The large file once more, deflated: a multi-chunk deflated item.
  entries.push_back({"big_deflated.bin", Bytes(files.at("big.bin")), true});
  const auto archive = BuildEncryptedArchive(entries, GetParam().algorithm, kPassword);
  WriteFile(dir / "ours.zip", std::string(archive.begin(), archive.end()));

  MustRun("7zz t '-pSecret pass 1' ours.zip", dir.path());
  EXPECT_NE(RunShell("7zz t -pwrong ours.zip", dir.path()).exit_code, 0);
  MustRun("7zz x '-pSecret pass 1' -oseven ours.zip > /dev/null", dir.path());
  if (GetParam().unzip_reads_it) {
    MustRun("unzip -q -P 'Secret pass 1' ours.zip -d info", dir.path());
  }
  for (const PlainEntry& e : entries) {
    SCOPED_TRACE(e.name);
    const std::string expected(e.data.begin(), e.data.end());
    EXPECT_TRUE(ReadFile(dir / "seven" / e.name) == expected);
    if (GetParam().unzip_reads_it) {
      EXPECT_TRUE(ReadFile(dir / "info" / e.name) == expected);
    }
  }
  // And the transforms read back what they wrote.
  for (const auto& [name, d] : DecodeWithTransforms(dir / "ours.zip", kPassword)) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(d.password_ok && d.verified);
  }
}

INSTANTIATE_TEST_SUITE_P(Transforms, OurEncryption,
                         ::testing::Values(OursCase{"classic", CryptoAlgorithm::caPkzipClassic,
                                                    true},
                                           OursCase{"aes128", CryptoAlgorithm::caAES_128, false},
                                           OursCase{"aes192", CryptoAlgorithm::caAES_192, false},
                                           OursCase{"aes256", CryptoAlgorithm::caAES_256, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qm::archive::testing
