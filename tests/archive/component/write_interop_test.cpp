// Archives the engine writes, one row per kind, checked by the tools others use: unzip -t,
// 7zz t, bsdtar -tf and Python's zipfile.testzip() accept them, Python reads the names, times,
// attributes and comments we added, and the engine reads back the bytes we added.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <ctime>
#include <functional>

#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"
#include "platform/memory_stream.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
using platform::MemoryStream;

// 2024-05-06 07:08:10, local time, as every item below is stamped.
std::time_t ItemTime() {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 4;
  t.tm_mday = 6;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 10;
  t.tm_isdst = -1;
  return std::mktime(&t);
}
constexpr const char* kItemTimeText = "2024-05-06 07:08:10";

struct Item {
  std::string name;  // UTF-8
  std::string data;
  std::int32_t attributes = 0x20;
  std::string comment;
};

struct WriteCase {
  const char* label;
  std::vector<Item> items;
  // Settings made before the items are added.
  std::function<void(ZipArchiver&)> configure = [](ZipArchiver&) {};
  std::string password;
  bool aes = false;
  std::string archive_comment;
  // Items added beyond `items` (not compared one by one): how many, and how to add them.
  std::int32_t extra_count = 0;
  std::function<void(ZipArchiver&)> add_more = [](ZipArchiver&) {};
};

std::string Text(std::size_t size) {
  std::string s;
  for (std::size_t i = 0; s.size() < size; ++i) s += "line " + std::to_string(i) + " of text\n";
  s.resize(size);
  return s;
}

// Zeros for as long as it says, without the memory.
class ZeroStream : public platform::Stream {
 public:
  explicit ZeroStream(std::int64_t size) : size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_));
    std::memset(buffer, 0, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, Origin origin) override {
    position_ = (origin == Origin::kBegin ? 0
                 : origin == Origin::kEnd ? size_
                                          : position_) +
                offset;
    return position_;
  }
  void SetSize(std::int64_t) override {}
  std::int64_t Size() override { return size_; }

 private:
  std::int64_t size_;
  std::int64_t position_ = 0;
};

std::vector<WriteCase> Cases() {
  std::vector<WriteCase> cases;
  const std::vector<Item> mixed = {{"empty.txt", ""},
                                   {"folder/", "", 0x10},
                                   {"folder/text.txt", Text(300000)},
                                   {"read-only.txt", "keep me", 0x21}};
  cases.push_back(
      {"empty files and folders",
       {{"empty.txt", ""}, {"a/", "", 0x10}, {"a/b/", "", 0x10}, {"a/b/zero.bin", ""}}});
  cases.push_back({"stored", mixed, [](ZipArchiver& z) { z.SetCompressionMode(0); }});
  for (std::uint8_t level = 1; level <= 9; ++level) {
    static const char* const kLabels[] = {"",        "level 1", "level 2", "level 3", "level 4",
                                          "level 5", "level 6", "level 7", "level 8", "level 9"};
    cases.push_back(
        {kLabels[level], mixed, [level](ZipArchiver& z) { z.SetCompressionMode(level); }});
  }
  cases.push_back({"non-ASCII names",
                   {{"caf\xC3\xA9.txt", "latin"},             // fits the OEM code page
                    {"\xD0\xBC\xD0\xB8\xD1\x80/", "", 0x10},  // Cyrillic: UTF-8
                    {"\xD0\xBC\xD0\xB8\xD1\x80/\xE6\x97\xA5\xE6\x9C\xAC.txt", "cjk"}}});
  cases.push_back({"comments on items and archive",
                   {{"a.txt", "a", 0x20, "first item"}, {"b.txt", "b", 0x20, "second"}},
                   [](ZipArchiver&) {},
                   "",
                   false,
                   "the archive's comment"});
  {
    WriteCase many{"more than 65,535 entries", {{"first.txt", "1"}}};
    many.configure = [](ZipArchiver& z) { z.SetZip64Mode(Zip64Mode::zmAuto); };
    many.extra_count = 70000;
    many.add_more = [](ZipArchiver& z) {
      for (int i = 0; i < 70000; ++i) {
        const std::string name = "many/" + std::to_string(i);
        const std::u16string wide(name.begin(), name.end());
        z.AddFromBuffer(wide, name.data(), static_cast<std::int32_t>(name.size()), 0x20,
                        ItemTime());
      }
    };
    cases.push_back(many);
  }
  {
    // Zeros compress to almost nothing, so the row costs the tools' decoding time only.
    WriteCase huge{"an item over 4 GiB", {{"small.txt", "small"}}};
    huge.configure = [](ZipArchiver& z) {
      z.SetZip64Mode(Zip64Mode::zmAuto);
      z.SetCompressionMode(1);
    };
    huge.extra_count = 1;
    huge.add_more = [](ZipArchiver& z) {
      static ZeroStream zeros((std::int64_t{1} << 32) + 4097);
      z.AddFromStream(u"huge.bin", zeros, false, 0, 0, 0x20, ItemTime());
    };
    cases.push_back(huge);
  }
  cases.push_back({"classic encryption", mixed, [](ZipArchiver&) {}, "secret"});
  static const CryptoAlgorithm kAes[] = {CryptoAlgorithm::caAES_128, CryptoAlgorithm::caAES_192,
                                         CryptoAlgorithm::caAES_256};
  static const char* const kAesLabels[] = {"AES-128", "AES-192", "AES-256"};
  for (int i = 0; i < 3; ++i) {
    const CryptoAlgorithm algorithm = kAes[i];
    cases.push_back({kAesLabels[i], mixed,
                     [algorithm](ZipArchiver& z) { z.SetEncryptionMethod(algorithm); }, "secret",
                     true});
  }
  return cases;
}

void WriteArchive(const WriteCase& c, const fs::path& path) {
  ZipArchiver z;
  z.SetFileName(platform::Utf8ToUtf16(path.string()));
  z.SetPassword(c.password);
  c.configure(z);
  z.OpenArchive();
  z.BeginUpdate();
  for (const Item& item : c.items) {
    z.OnStoreFile = [&item](BaseArchiver&, std::u16string&, std::int32_t&, std::string& comment,
                            const std::u16string&) { comment = item.comment; };
    z.AddFromBuffer(platform::Utf8ToUtf16(item.name), item.data.data(),
                    static_cast<std::int32_t>(item.data.size()), item.attributes, ItemTime());
  }
  z.OnStoreFile = nullptr;
  c.add_more(z);
  if (!c.archive_comment.empty()) z.SetComment(c.archive_comment);
  z.EndUpdate();
  z.CloseArchive();
}

void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.label;
}

class WrittenArchive : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WrittenArchive, OtherToolsAndTheEngineReadWhatWeAdded) {
  const WriteCase& c = GetParam();
  ScratchDir dir;
  const fs::path archive = dir / "out.zip";
  WriteArchive(c, archive);
  const std::string pw = c.password;

  // unzip and zipfile know the classic cipher only.
  if (!c.aes) {
    MustRun("unzip -tqq " + (pw.empty() ? "" : "-P " + pw + " ") + "out.zip", dir.path());
    MustRunPython(
        "import zipfile\n"
        "z = zipfile.ZipFile('out.zip')\n"
        "z.setpassword(b'" +
            pw +
            "')\n"
            "assert z.testzip() is None\n",
        dir.path());
  }
  MustRun("7zz t -p" + (pw.empty() ? std::string("x") : pw) + " out.zip > /dev/null", dir.path());
  MustRun("bsdtar -tf out.zip > /dev/null", dir.path());

  // Python sees the directory as the engine does, and as we made it.
  const ArchiveView python = PythonView(archive);
  ZipArchiver reader;
  reader.SetPassword(pw);
  EXPECT_EQ(python, EngineView(reader, archive));
  EXPECT_EQ(python.comment, c.archive_comment);
  ASSERT_EQ(python.entries.size(), c.items.size() + static_cast<std::size_t>(c.extra_count));
  OpenForReading(reader, archive);
  for (std::size_t i = 0; i < c.items.size(); ++i) {
    const Item& item = c.items[i];
    const EntryView& e = python.entries[i];
    SCOPED_TRACE(item.name);
    EXPECT_EQ(e.name, item.name);
    EXPECT_EQ(e.size, item.data.size());
    EXPECT_EQ(e.time, kItemTimeText);
    EXPECT_EQ(std::stoul(e.external_attr, nullptr, 16),
              static_cast<unsigned long>(item.attributes));
    EXPECT_EQ(e.comment, item.comment);
    if (item.name.ends_with('/')) continue;
    MemoryStream out;
    reader.ExtractToStream(platform::Utf8ToUtf16(item.name), out);
    EXPECT_EQ(out.ToString(), item.data);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WrittenArchive, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                           std::string name;
                           for (const char* p = info.param.label; *p != 0; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

}  // namespace
}  // namespace qm::archive::testing
