#include "fixture_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "archive/directory/dir_manager.h"
#include "platform/file_mode.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace qm::archive::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : path_(dir_.path()) {}

std::u16string ScratchDir::U16(const std::string& name) const {
  return platform::Utf8ToUtf16((path_ / name).make_preferred().string());
}

std::string NativeSeparators(std::string path) {
  std::replace(path.begin(), path.end(), '/', static_cast<char>(platform::kPathSeparator));
  return path;
}

std::map<std::string, std::string> FilesWithContent(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(e.path(), root).string();
    if (e.is_symlink()) {
      files[name] = "-> " + fs::read_symlink(e.path()).string();
    } else if (e.is_regular_file()) {
      files[name] = ReadFile(e.path());
    }
  }
  return files;
}

bool CanMakeSymbolicLinks(const fs::path& dir) {
  std::error_code error;
  fs::create_symlink(dir / "link-probe-target", dir / "link-probe", error);
  fs::remove(dir / "link-probe");
  return !error;
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
  const fs::path file = path_ / name;
  fs::create_directories(file.parent_path());
  WriteFile(file, content);
}

void ScratchDir::MakeTree() const {
  Write("a.txt", "hello, archive\n");
  Write("empty.txt", "");
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "line " + std::to_string(i) + " of some compressible text\n";
  Write("docs/b.txt", text);
  std::string noise(3000, '\0');
  std::mt19937 gen(7);
  for (char& c : noise) c = static_cast<char>(gen());
  Write("docs/sub/c.bin", noise);
}

CommandResult RunShell(const std::string& command, const fs::path& dir) {
  CommandResult result;
  result.exit_code =
      qm::testing::RunCommand("cd '" + dir.string() + "' && ( " + command + " )", &result.output);
  return result;
}

void MustRun(const std::string& command, const fs::path& dir) {
  const CommandResult r = RunShell(command, dir);
  ASSERT_EQ(r.exit_code, 0) << command << "\n" << r.output;
}

void MustRunPython(const std::string& program, const fs::path& dir) {
  WriteFile(dir / "fixture.py", program);
  MustRun("python3 fixture.py", dir);
}

void PrintTo(const EntryView& e, std::ostream* os) {
  *os << "{" << e.name << " size=" << e.size << " comp=" << e.compressed << " crc=" << e.crc
      << " method=" << e.method << " flags=" << e.flags << " time=" << e.time << " comment=\""
      << e.comment << "\" attr=" << e.external_attr << " offset=" << e.offset << "}";
}

void PrintTo(const ArchiveView& v, std::ostream* os) {
  *os << "comment \"" << v.comment.substr(0, 80) << "\" (" << v.comment.size() << " bytes), "
      << v.entries.size() << " entries:";
  for (const auto& e : v.entries) {
    *os << "\n  ";
    PrintTo(e, os);
  }
}

namespace {

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

std::string Hex32(std::uint32_t v, int digits = 8) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, v);
  return text;
}

}  // namespace

ArchiveView PythonView(const fs::path& archive) {
  const std::string script = std::string(QM_SOURCE_DIR) + "/tests/archive/zip_view.py";
  const CommandResult r =
      RunShell("python3 '" + script + "' '" + archive.string() + "'", archive.parent_path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ArchiveView view;
  std::stringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    const auto f = SplitTabs(line);
    if (f.size() == 2 && f[0] == "comment") {
      view.comment = Unhex(f[1]);
      continue;
    }
    if (f.size() != 10) {
      ADD_FAILURE() << "unexpected view line: " << line;
      continue;
    }
    EntryView e;
    e.name = Unhex(f[0]);
    e.size = std::stoull(f[1]);
    e.compressed = std::stoull(f[2]);
    e.crc = f[3];
    e.method = std::stoi(f[4]);
    e.flags = f[5];
    e.time = f[6];
    e.comment = Unhex(f[7]);
    e.external_attr = f[8];
    e.offset = std::stoull(f[9]);
    view.entries.push_back(e);
  }
  return view;
}

ArchiveView EngineView(ZipArchiver& archiver, const fs::path& archive) {
  archiver.SetFileName(platform::Utf8ToUtf16(archive.string()));
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  ArchiveView view;
  view.comment = archiver.Comment();
  const DirArray& dir = archiver.DMHandle()->CDir;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    const DirItem& item = dir.GetItem(i);
    const ZipCentralDir& cd = item.CentralDir;
    EntryView e;
    e.name = Utf8(item.Name);
    e.size = item.UncompressedSize();
    e.compressed = item.CompressedSize();
    e.crc = Hex32(cd.crc32);
    e.method = cd.compMethod;
    e.flags = Hex32(cd.genPurposeFlag, 4);
    char time[32];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (cd.lastModDate >> 9),
                  (cd.lastModDate >> 5) & 15, cd.lastModDate & 31, cd.lastModTime >> 11,
                  (cd.lastModTime >> 5) & 63, (cd.lastModTime & 31) * 2);
    e.time = time;
    e.comment = item.Record().Comment;
    e.external_attr = Hex32(cd.externalAttr);
    e.offset = item.LocalHeaderOffset();
    view.entries.push_back(e);
  }
  archiver.CloseArchive();
  return view;
}

ArchiveView EngineView(const fs::path& archive) {
  ZipArchiver archiver;
  return EngineView(archiver, archive);
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& file, const std::string& content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string Utf8(const std::u16string& text) {
  return platform::Utf16ToUtf8(text);
}

}  // namespace qm::archive::testing
