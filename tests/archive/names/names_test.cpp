// Stored-name encodings as real archives carry them: OEM (CP437) names from zip, UTF-8 with
// flag bit 11, ANSI names, the engine's own Unicode-name block and Info-ZIP's Unicode Path.
#include <gtest/gtest.h>

#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

// Python helpers for the fixtures: `add` stores name bytes exactly as given (no flag bit 11),
// with optional extra blocks built by `block`.
constexpr const char* kRawNames = R"(import struct, zipfile, zlib
zipfile.ZipInfo._encodeFilenameFlags = lambda self: (self.filename.encode('latin-1'), self.flag_bits)
def block(header_id, data):
    return struct.pack('<HH', header_id, len(data)) + data
def nucx(name):
    units = name.encode('utf-16-le')
    return block(0x554E, struct.pack('<II', 0x5843554E, len(units) // 2) + units)
def unicode_path(stored, name, crc=None):
    crc = zlib.crc32(stored) if crc is None else crc
    return block(0x7075, struct.pack('<BI', 1, crc) + name.encode('utf-8'))
def add(z, stored, extra=b'', data=b'x'):
    info = zipfile.ZipInfo(stored.decode('latin-1'))
    info.extra = extra
    z.writestr(info, data)
)";

std::vector<std::string> EngineNames(const ScratchDir& dir, bool oem_file_names = true) {
  ZipArchiver archiver;
  archiver.Options().OEMFileNames = oem_file_names;
  std::vector<std::string> names;
  for (const auto& e : EngineView(archiver, dir / "out.zip").entries) names.push_back(e.name);
  return names;
}

TEST(StoredNames, OemNamesFromZipReadAsZipfileReadsThem) {
  ScratchDir dir;
  // CP437: 0x82 is e-acute, 0x94 o-umlaut; both exist in the ANSI page too.
  MustRun(
      "printf x > \"$(printf 'caf\\202.txt')\" && printf y > \"$(printf 'na\\224ve.txt')\""
      " && zip -q out.zip caf* na*",
      dir.path());
  EXPECT_EQ(EngineView(dir / "out.zip"), PythonView(dir / "out.zip"));
  EXPECT_EQ(EngineNames(dir), (std::vector<std::string>{"café.txt", "naöve.txt"}));
}

TEST(StoredNames, AnsiNamesReadWithOemNamesOff) {
  ScratchDir dir;
  MustRunPython(std::string(kRawNames) +
                    "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                    "  add(z, b'caf\\xe9.txt')\n"     // Windows-1252 e-acute
                    "  add(z, b'\\xd0\\xb6.txt')\n",  // valid UTF-8 without bit 11
                dir.path());
  // Without the OEM step, bytes that form valid non-ASCII UTF-8 are taken as UTF-8 and the
  // others as ANSI.
  EXPECT_EQ(EngineNames(dir, false), (std::vector<std::string>{"café.txt", "ж.txt"}));
}

TEST(StoredNames, UnicodeNameBlockReplacesTheStoredName) {
  ScratchDir dir;
  MustRunPython(std::string(kRawNames) +
                    "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                    "  add(z, b'__.txt', nucx('\\u03a9\\u65e5.txt'))\n"
                    "  add(z, b'kept.txt', block(0x554E, b'XXXX\\x01\\x00\\x00\\x00A\\x00'))\n"
                    "  add(z, b'short.txt', block(0x554E, struct.pack('<II', 0x5843554E, 99)))\n",
                dir.path());
  // Honoured although UnicodeFilenames is off; a wrong signature or a count that claims more
  // than the block holds leaves the 8-bit name.
  EXPECT_EQ(EngineNames(dir), (std::vector<std::string>{"Ω日.txt", "kept.txt", "short.txt"}));
}

TEST(StoredNames, InfoZipUnicodePathIsTakenWhenItsCrcMatches) {
  ScratchDir dir;
  MustRunPython(
      std::string(kRawNames) +
          "utf8 = 'caf\\u00e9.txt'.encode('utf-8')\n"
          "with zipfile.ZipFile('out.zip', 'w') as z:\n"
          "  add(z, utf8, unicode_path(utf8, 'caf\\u00e9.txt'))\n"
          "  add(z, b'stale\\x82.txt', unicode_path(b'other', 'wrong.txt'))\n"
          "  add(z, b'both.txt', unicode_path(b'both.txt', 'infozip.txt') + nucx('own.txt'))\n"
          "  add(z, b'v2.txt', block(0x7075, b'\\x02' + struct.pack('<I', zlib.crc32(b'v2.txt')) + "
          "b'no'))\n",
      dir.path());
  EXPECT_EQ(EngineNames(dir),
            (std::vector<std::string>{"café.txt", "staleé.txt", "own.txt", "v2.txt"}));
  // unzip's reading of the same archive (zip_view.py applies the block as unzip does), apart
  // from the entry whose own block wins.
  auto expected = PythonView(dir / "out.zip");
  auto actual = EngineView(dir / "out.zip");
  ASSERT_EQ(actual.entries.size(), 4u);
  expected.entries[2].name = actual.entries[2].name;
  EXPECT_EQ(actual, expected);
}

TEST(StoredNames, ExtraBlocksAreKeptAsRead) {
  ScratchDir dir;
  MustRunPython(
      std::string(kRawNames) +
          "with zipfile.ZipFile('out.zip', 'w') as z:\n"
          "  add(z, b'a.txt', block(0xCAFE, b'\\x01\\x02\\x03') + unicode_path(b'a.txt', 'b.txt')"
          " + block(0x554E, b'NUCX'))\n",
      dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("out.zip"));
  archiver.OpenArchive(0x0040);
  const DirItem& item = archiver.DMHandle()->CDir.GetItem(0);
  ASSERT_EQ(item.Record().ExtraFields.size(), 3u);
  EXPECT_EQ(item.Record().ExtraFields[0].headerID, 0xCAFE);
  EXPECT_EQ(item.Record().ExtraFields[0].data, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(item.Record().ExtraFields[1].headerID, 0x7075);
  EXPECT_EQ(item.Record().ExtraFields[2].dataSize, 4);
  EXPECT_EQ(item.Name, u"b.txt");
}

}  // namespace
}  // namespace qm::archive::testing
