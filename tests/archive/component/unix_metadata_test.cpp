// Entries made on Unix: their permission bits come back on extraction (never set-id or sticky
// bits), and Info-ZIP's extended timestamp gives the exact modification time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

struct Extracted {
  mode_t mode;
  time_t mtime;
};

Extracted Stat(const fs::path& file) {
  struct stat st {};
  EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
  return {st.st_mode & 07777, st.st_mtime};
}

void ExtractAll(const ScratchDir& dir, const std::string& archive, const std::string& into) {
  ZipArchiver archiver;
  OpenForReading(archiver, dir / archive);
  archiver.SetBaseDir(dir.U16(into));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  ASSERT_TRUE(archiver.LastRunComplete());
}

TEST(UnixEntries, PermissionBitsAndExactTimesComeBack) {
  ScratchDir dir;
  // The DOS time of every entry is 2020-01-01 00:00:00; the timestamp block says otherwise.
  MakeZip(dir.path(),
          "import struct\n"
          "def entry(z, name, system, mode, stamp=None):\n"
          "  zi = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))\n"
          "  zi.create_system = system\n"
          "  zi.external_attr = (mode << 16) | (0x20 if mode == 0 else 0)\n"
          "  if stamp is not None:\n"
          "    zi.extra = struct.pack('<HHBi', 0x5455, 5, 1, stamp)\n"
          "  z.writestr(zi, b'data of ' + name.encode())\n"
          "with zipfile.ZipFile('unix.zip', 'w') as z:\n"
          "  entry(z, 'exec.sh', 3, 0o100750, 1700000001)\n"
          "  entry(z, 'setuid', 3, 0o104755)\n"
          "  entry(z, 'sticky', 3, 0o101777)\n"
          "  entry(z, 'private', 3, 0o100600)\n"
          "  entry(z, 'link', 3, 0o120777)\n"
          "  entry(z, 'dos.txt', 0, 0o100750)\n"
          "  entry(z, 'nomode', 3, 0)\n");
  ExtractAll(dir, "unix.zip", "out");
  struct Case {
    const char* name;
    mode_t expected;  // 0: whatever the process would give a new file
  };
  const Case cases[] = {{"exec.sh", 0750}, {"setuid", 0755}, {"sticky", 0777}, {"private", 0600},
                        {"link", 0},       {"dos.txt", 0},   {"nomode", 0}};
  const mode_t fresh = Stat(dir / "out" / "dos.txt").mode;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Stat(dir / "out" / c.name).mode, c.expected != 0 ? c.expected : fresh);
  }
  EXPECT_EQ(Stat(dir / "out" / "exec.sh").mtime, 1700000001);
  // Without the block the DOS time (local) stands.
  struct tm local {};
  const time_t setuid_time = Stat(dir / "out" / "setuid").mtime;
  localtime_r(&setuid_time, &local);
  EXPECT_EQ(local.tm_year, 120);
  EXPECT_EQ(local.tm_hour, 0);
}

TEST(UnixEntries, WhatInfoZipStoresComesBackTheSame) {
  ScratchDir dir;
  dir.Write("src/tool", "#!/bin/sh\n");
  dir.Write("src/notes.txt", "notes\n");
  fs::permissions(dir / "src" / "tool", fs::perms(0751));
  fs::permissions(dir / "src" / "notes.txt", fs::perms(0640));
  const auto odd_second = fs::file_time_type::clock::from_sys(
      std::chrono::sys_seconds(std::chrono::seconds(1600000001)));
  fs::last_write_time(dir / "src" / "tool", odd_second);
  MustRun("cd src && zip -q ../info.zip tool notes.txt", dir.path());
  ExtractAll(dir, "info.zip", "out");
  EXPECT_EQ(Stat(dir / "out" / "tool").mode, 0751u);
  EXPECT_EQ(Stat(dir / "out" / "notes.txt").mode, 0640u);
  EXPECT_EQ(Stat(dir / "out" / "tool").mtime, 1600000001);
}

}  // namespace
}  // namespace qm::archive::testing
