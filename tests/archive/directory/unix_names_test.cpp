// Names from Unix archives: zip on Linux and macOS stores UTF-8 bytes without flag bit 11, so
// the host in the version-made-by field decides whether such bytes are taken as UTF-8.
#include <gtest/gtest.h>

#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

struct NameCase {
  const char* label;
  const char* name_bytes;  // Python bytes literal
  int made_by;
  int flags;
  std::u16string expected;
  bool real_name;  // the name must be `expected`; else it must differ from it
};

TEST(UnixNames, Utf8BytesWithoutTheFlagAreTakenAsUtf8OnlyFromUnixHosts) {
  const std::u16string privet = u"utf8/\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440.txt";
  const char* privet_bytes =
      "'utf8/\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440.txt'.encode()";
  const NameCase cases[] = {
      {"Linux zip", privet_bytes, 0x031E, 0, privet, true},
      {"macOS", privet_bytes, 0x1314, 0, privet, true},
      {"flag bit 11", privet_bytes, 0x0014, 0x800, privet, true},
      {"MS-DOS host keeps the OEM reading", privet_bytes, 0x0014, 0, privet, false},
      // 0x82 is not UTF-8: the OEM page (437) reads it as e acute, as before.
      {"Unix host, bytes that are not UTF-8", "b'caf\\x82.txt'", 0x031E, 0, u"caf\u00E9.txt", true},
      {"Unix host, ASCII", "b'plain.txt'", 0x031E, 0, u"plain.txt", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    MustRunPython(
        std::string("import struct, zlib\n"
                    "name = ") +
            c.name_bytes + "\nmade, flags = " + std::to_string(c.made_by) + ", " +
            std::to_string(c.flags) +
            "\n"
            "data = b'text'\n"
            "crc = zlib.crc32(data)\n"
            "local = struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, flags, 0, 0, 0x5121,"
            " crc, 4, 4, len(name), 0) + name + data\n"
            "d = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, made, 20, flags, 0, 0,"
            " 0x5121, crc, 4, 4, len(name), 0, 0, 0, 0, 0x20, 0) + name\n"
            "e = struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 1, 1, len(d), len(local), 0)\n"
            "open('out.zip', 'wb').write(local + d + e)\n",
        dir.path());
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "out.zip");
    ASSERT_EQ(archiver.DMHandle()->CDir.Count(), 1);
    const std::u16string& name = archiver.DMHandle()->CDir.GetItem(0).Name;
    if (c.real_name) {
      EXPECT_EQ(name, c.expected);
    } else {
      EXPECT_NE(name, c.expected);
    }
  }
}

}  // namespace
}  // namespace qm::archive::testing
