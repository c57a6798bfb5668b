#include "model/archive_state.h"

#include <sstream>

#include "archive/directory/dir_manager.h"
#include "archive/zip_archiver.h"
#include "model/raw_zip.h"
#include "platform/file_mode.h"
#include "platform/text.h"

namespace qm::archive::model {
namespace {

char16_t Fold(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::string Show(const std::u16string& name) {
  std::string text = platform::Utf16ToUtf8(name);
  if (text.size() > 80)
    text = text.substr(0, 40) + "...(" + std::to_string(text.size()) + " bytes)";
  return "'" + text + "'";
}

std::string ShowEntry(const Entry& e) {
  std::ostringstream out;
  out << Show(e.name) << " " << e.data.size() << " bytes, attr 0x" << std::hex << e.attr;
  if (e.dos_time) out << ", time 0x" << *e.dos_time;
  if (e.comment && !e.comment->empty()) out << ", comment '" << *e.comment << "'";
  return out.str();
}

// The fields both views hold; `data` only when `with_data`.
std::string CompareEntries(const ArchiveState& expected, const std::vector<Entry>& seen,
                           const std::string& seen_comment, bool with_data) {
  std::ostringstream out;
  if (expected.comment != seen_comment) {
    out << "archive comment '" << seen_comment << "', expected '" << expected.comment << "'\n";
  }
  const std::size_t n = std::max(expected.entries.size(), seen.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= expected.entries.size()) {
      out << "entry " << i << ": unexpected " << ShowEntry(seen[i]) << "\n";
      continue;
    }
    if (i >= seen.size()) {
      out << "entry " << i << ": missing " << ShowEntry(expected.entries[i]) << "\n";
      continue;
    }
    const Entry& e = expected.entries[i];
    const Entry& s = seen[i];
    const bool same = e.name == s.name && (!with_data || e.IsFolder() || e.data == s.data) &&
                      (e.attr & 0xFF) == (s.attr & 0xFF) &&
                      (!e.dos_time || e.dos_time == s.dos_time) &&
                      (!e.comment || e.comment == s.comment);
    if (!same) {
      out << "entry " << i << ": " << ShowEntry(s);
      if (with_data && e.data != s.data) out << " (data differs)";
      out << ", expected " << ShowEntry(e) << "\n";
    }
  }
  return out.str();
}

Entry FromDirItem(const DirItem& item) {
  Entry e;
  e.name = item.Name;
  e.dos_time = (std::uint32_t{item.CentralDir.lastModDate} << 16) | item.CentralDir.lastModTime;
  e.attr = item.CentralDir.externalAttr & 0xFF;
  e.comment = item.Record().Comment;
  return e;
}

}  // namespace

bool SameName(const std::u16string& a, const std::u16string& b, bool fold_case) {
  return fold_case ? SameFolded(a, b) : a == b;
}

bool MaskSelects(const std::u16string& mask, const std::u16string& name) {
  std::u16string_view whole = name;
  if (whole.ends_with(u'/')) whole.remove_suffix(1);
  if (SameFolded(whole, mask)) return true;
  const std::size_t slash = whole.rfind(u'/');
  return slash != std::u16string_view::npos && SameFolded(whole.substr(slash + 1), mask);
}

std::u16string ReplaceAll(const std::u16string& text, const std::u16string& from,
                          const std::u16string& to) {
  if (from.empty()) return text;
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + from.size() <= text.size() &&
        SameFolded(std::u16string_view(text).substr(i, from.size()), from)) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

bool Observe(const std::filesystem::path& archive, ArchiveState& state, std::string& error) {
  state = {};
  try {
    ZipArchiver reader;
    reader.SetFileName(platform::Utf8ToUtf16(archive.string()));
    reader.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
    state.comment = reader.Comment();
    const DirArray& dir = reader.DMHandle()->CDir;
    for (std::int32_t i = 0; i < dir.Count(); ++i)
      state.entries.push_back(FromDirItem(dir.GetItem(i)));
    reader.CloseArchive();
  } catch (const std::exception& e) {
    error = std::string("the engine cannot open the archive: ") + e.what();
    return false;
  }
  RawArchive raw;
  if (!ReadRawArchive(archive, raw, error)) {
    error = "an independent reading fails: " + error;
    return false;
  }
  if (raw.entries.size() != state.entries.size() || raw.comment != state.comment) {
    error = "the engine sees " + std::to_string(state.entries.size()) +
            " entries, an independent reading " + std::to_string(raw.entries.size());
    return false;
  }
  for (std::size_t i = 0; i < raw.entries.size(); ++i) {
    Entry& e = state.entries[i];
    const RawEntry& r = raw.entries[i];
    if (r.dos_time != e.dos_time || (r.external_attr & 0xFF) != e.attr || r.comment != e.comment) {
      error = "entry " + std::to_string(i) + " " + Show(e.name) +
              ": the engine and an independent " +
              "reading disagree on its time, attributes or comment";
      return false;
    }
    e.data = r.data;
  }
  return true;
}

std::string Compare(const ArchiveState& expected, const ArchiveState& observed) {
  return CompareEntries(expected, observed.entries, observed.comment, true);
}

std::string CompareDirectory(const ArchiveState& expected, ZipArchiver& archiver) {
  std::vector<Entry> seen;
  const DirArray& dir = archiver.DMHandle()->CDir;
  for (std::int32_t i = 0; i < dir.Count(); ++i) seen.push_back(FromDirItem(dir.GetItem(i)));
  return CompareEntries(expected, seen, archiver.Comment(), false);
}

std::string Describe(const ArchiveState& state) {
  std::string out = "comment '" + state.comment + "'\n";
  for (const Entry& e : state.entries) out += "  " + ShowEntry(e) + "\n";
  return out;
}

}  // namespace qm::archive::model
