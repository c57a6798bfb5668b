// Repair against the other tools: archives made by zip, 7zz, jar and Python, damaged the ways
// archives get damaged, salvaged by RepairArchive, by zip -FF and by 7zz x. Every row counts
// the items each gives back intact; ours must give back at least as many as the best of the
// others, nothing it gives back may differ from the original, and its output must pass unzip -t.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>

#include "archive/archive_error.h"
#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// The originals: name -> content.
std::map<std::string, std::string> Originals() {
  std::map<std::string, std::string> files;
  std::mt19937 gen(11);
  for (int i = 0; i < 8; ++i) {
    std::string text;
    for (int line = 0; line < 200 + 150 * i; ++line) {
      text += "file " + std::to_string(i) + " line " + std::to_string(line) + " " +
              std::to_string(gen() % 1000) + "\n";
    }
    files["f" + std::to_string(i) + ".txt"] = text;
  }
  std::string noise(5000, '\0');
  for (char& c : noise) c = static_cast<char>(gen());
  files["sub/noise.bin"] = noise;
  return files;
}

struct Layout {
  std::vector<std::int64_t> offsets;  // local headers, in order
  std::int64_t central = 0;           // central directory
};

Layout LayoutOf(const fs::path& archive) {
  const CommandResult r = RunShell(
      "python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
      "print(*[i.header_offset for i in z.infolist()], z.start_dir)' '" +
          archive.string() + "'",
      archive.parent_path());
  Layout layout;
  std::istringstream in(r.output);
  std::int64_t v = 0;
  while (in >> v) layout.offsets.push_back(v);
  layout.central = layout.offsets.back();
  layout.offsets.pop_back();
  return layout;
}

std::string Garbage(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string g(n, '\0');
  for (char& c : g) c = static_cast<char>(gen());
  return g;
}

struct Damage {
  std::string label;
  std::function<std::string(const std::string&, const Layout&)> apply;
};

const std::vector<Damage>& Damages() {
  static const std::vector<Damage> damages = {
      {"truncated inside an item",
       [](const std::string& z, const Layout& l) {
         return z.substr(0, static_cast<std::size_t>((l.offsets[5] + l.offsets[6]) / 2));
       }},
      {"truncated inside the directory",
       [](const std::string& z, const Layout& l) {
         return z.substr(0, static_cast<std::size_t>(l.central + 100));
       }},
      {"garbage before", [](const std::string& z, const Layout&) { return Garbage(1000, 1) + z; }},
      {"garbage inside",
       [](const std::string& z, const Layout& l) {
         const auto at = static_cast<std::size_t>(l.offsets[4]);
         return z.substr(0, at) + Garbage(700, 2) + z.substr(at);
       }},
      {"garbage after", [](const std::string& z, const Layout&) { return z + Garbage(1000, 3); }},
      {"corrupted directory",
       [](const std::string& z, const Layout& l) {
         std::string d = z;
         const auto at = static_cast<std::size_t>(l.central + 50);
         const std::string g = Garbage(120, 4);
         d.replace(at, g.size(), g);
         return d;
       }},
      {"damaged item data",
       [](const std::string& z, const Layout& l) {
         std::string d = z;
         const auto at = static_cast<std::size_t>(l.offsets[2] + 60);
         for (std::size_t i = 0; i < 16; ++i) d[at + i] = static_cast<char>(~d[at + i]);
         return d;
       }},
      {"lost end record",
       [](const std::string& z, const Layout&) { return z.substr(0, z.size() - 22); }},
  };
  return damages;
}

// Items below `folder` whose content is the original's.
int IntactIn(const fs::path& folder, const std::map<std::string, std::string>& originals,
             int* differing = nullptr) {
  int intact = 0;
  for (const auto& [name, content] : originals) {
    const fs::path file = folder / name;
    if (!fs::is_regular_file(file)) continue;
    if (ReadFile(file) == content) {
      ++intact;
    } else if (differing != nullptr) {
      ++*differing;
    }
  }
  return intact;
}

int IntactInArchive(const fs::path& archive, const fs::path& into,
                    const std::map<std::string, std::string>& originals, int* differing) {
  if (!fs::exists(archive)) return 0;
  fs::create_directories(into);
  RunShell("unzip -qq -o '" + archive.string() + "' -d '" + into.string() + "'", into);
  return IntactIn(into, originals, differing);
}

// A tool that makes the undamaged archive: `command` runs in src/ and writes ../good.zip of
// the files named in $NAMES (a shell word list).
struct Maker {
  std::string tool;
  std::string command;
};

const Maker kMakers[] = {
    {"zip", "zip -q ../good.zip $NAMES"},
    {"7zz", "7zz a -tzip -bd ../good.zip $NAMES >/dev/null"},
    // jar streams its items: sizes and CRC come after the data, in data descriptors.
    {"jar", "jar cfM ../good.zip $NAMES"},
    {"python",
     "python3 -c 'import sys,zipfile\n"
     "with zipfile.ZipFile(\"../good.zip\",\"w\",zipfile.ZIP_DEFLATED) as z:\n"
     "  for n in sys.argv[1:]: z.write(n)' $NAMES"},
};

class RepairTable : public ::testing::TestWithParam<Maker> {};

TEST_P(RepairTable, SalvagesAtLeastAsMuchAsTheOtherTools) {
  ScratchDir dir;
  const auto originals = Originals();
  std::string names;
  for (const auto& [name, content] : originals) {
    dir.Write("src/" + name, content);
    names += " " + name;
  }
  MustRun("cd src && NAMES='" + names + "' && " + GetParam().command, dir.path());
  const std::string good = ReadFile(dir / "good.zip");
  const Layout layout = LayoutOf(dir / "good.zip");
  ASSERT_EQ(layout.offsets.size(), originals.size());

  std::ostringstream table;
  table << std::left << std::setw(32) << "damage" << std::setw(8) << "ours" << std::setw(8)
        << "zip -FF" << std::setw(8) << "7zz x"
        << "\n";
  int row = 0;
  for (const Damage& damage : Damages()) {
    SCOPED_TRACE(damage.label);
    const std::string tag = "r" + std::to_string(row++);
    const fs::path damaged = dir / (tag + ".zip");
    WriteFile(damaged, damage.apply(good, layout));

    // Ours.
    const fs::path ours = dir / (tag + "-ours.zip");
    ZipArchiver archiver(u"Archiver1");
    archiver.SetFileName(dir.U16(damaged.filename().string()));
    try {
      archiver.RepairArchive(dir.U16(ours.filename().string()));
    } catch (const ArchiveError& e) {
      ADD_FAILURE() << Utf8(e.Message());
    }
    EXPECT_EQ(ReadFile(damaged), damage.apply(good, layout)) << "the damaged file changed";
    int ours_differing = 0;
    const int ours_intact =
        IntactInArchive(ours, dir / (tag + "-ours"), originals, &ours_differing);
    EXPECT_EQ(ours_differing, 0);
    EXPECT_EQ(RunShell("unzip -tqq '" + ours.string() + "'", dir.path()).exit_code, 0);
    EXPECT_EQ(archiver.RepairedFileCount(), ours_intact);

    // zip -FF answers its questions from standard input.
    const fs::path zipff = dir / (tag + "-zipff.zip");
    RunShell(
        "yes | zip -FF '" + damaged.string() + "' --out '" + zipff.string() + "' >/dev/null 2>&1",
        dir.path());
    const int zipff_intact = IntactInArchive(zipff, dir / (tag + "-zipff"), originals, nullptr);

    // 7-Zip extracts what it can.
    const fs::path seven = dir / (tag + "-7zz");
    fs::create_directories(seven);
    RunShell("7zz x -y -bd '-o" + seven.string() + "' '" + damaged.string() + "' >/dev/null 2>&1",
             dir.path());
    const int seven_intact = IntactIn(seven, originals);

    EXPECT_GE(ours_intact, zipff_intact);
    EXPECT_GE(ours_intact, seven_intact);
    table << std::setw(32) << damage.label << std::setw(8) << ours_intact << std::setw(8)
          << zipff_intact << std::setw(8) << seven_intact << "\n";
  }
  std::cout << "Intact items recovered of " << originals.size() << " (archive made by "
            << GetParam().tool << "):\n"
            << table.str();
}

INSTANTIATE_TEST_SUITE_P(Makers, RepairTable, ::testing::ValuesIn(kMakers),
                         [](const auto& info) { return info.param.tool; });

TEST(RepairArchive, WithoutAnOutputNameReplacesTheArchiveAndRefusesWhileOpen) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -qr t.zip a.txt empty.txt docs", dir.path());
  WriteFile(dir / "t.zip", Garbage(300, 9) + ReadFile(dir / "t.zip").substr(0, 2000));
  ZipArchiver archiver(u"Archiver1");
  archiver.SetFileName(dir.U16("t.zip"));
  archiver.RepairArchive(u"");
  EXPECT_FALSE(archiver.Active());
  EXPECT_GE(archiver.RepairedFileCount(), 2);
  EXPECT_EQ(RunShell("unzip -tqq t.zip", dir.path()).exit_code, 0);
  for (const auto& e : fs::directory_iterator(dir.path())) {
    EXPECT_FALSE(e.path().filename().string().starts_with("FC")) << "temporary file left";
  }

  archiver.OpenArchive();
  try {
    archiver.RepairArchive(dir.U16("x.zip"));
    ADD_FAILURE() << "repaired an open archive";
  } catch (const ArchiveError& e) {
    EXPECT_TRUE(e.Is(ErrorSite::kArchiveIsOpen));
  }
}

}  // namespace
}  // namespace qm::archive::testing
