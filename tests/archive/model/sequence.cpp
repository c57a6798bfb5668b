#include "model/sequence.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

#include "archive/archive_error.h"
#include "archive/zip_archiver.h"
#include "fault_platform.h"
#include "model/archive_state.h"
#include "model/raw_zip.h"
#include "platform/dos_time.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive::model {
namespace {

namespace fs = std::filesystem;
using testing::FaultPlan;
using testing::FaultyDisk;

constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
// Where the platform's file names ignore letter case, adding a case variant replaces.
constexpr bool kFoldCase = QM_MODEL_NAMES_FOLD_CASE != 0;
constexpr std::time_t kEarliest = 946684800;  // 2000-01-01
constexpr std::time_t kLatest = 1893456000;   // 2030-01-01

// Stored names: case variants (A to Z only), letters outside ASCII that differ in case but
// are not folded, names that need UTF-8, names in folders.
const std::vector<std::string> kNames = {
    "a.txt",      "A.txt",     "b.bin",     "B.BIN",     "Ünï.txt", "ünï.txt",    "ß.dat",
    "日本語.txt", "dir/c.txt", "dir/C.txt", "Dir/c.txt", "z/ж.txt", "sp ace.txt", "emoji 😀.txt"};
const std::vector<std::string> kFolders = {"dir", "Dir", "папка"};
const std::vector<std::string> kFolderFiles = {"c.txt", "C.txt", "ж.txt"};
const std::vector<std::string> kComments = {"", "note", "a longer comment, with spaces", "x"};
const std::vector<std::uint32_t> kAttributes = {0x20, 0x21, 0x00, 0x01, 0x22, 0x24, 0x27};

std::u16string U16(const std::string& text) {
  return platform::Utf8ToUtf16(text);
}
std::string U8(const std::u16string& text) {
  return platform::Utf16ToUtf8(text);
}

std::int32_t Signed(std::uint32_t dos) {
  return static_cast<std::int32_t>(dos);
}

void Spill(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
}

enum class Overwrite { kAlways, kNever, kIfNewer };

OverwriteMode ModeOf(Overwrite rule) {
  switch (rule) {
    case Overwrite::kNever:
      return OverwriteMode::omNever;
    case Overwrite::kIfNewer:
      return OverwriteMode::omIfNewer;
    case Overwrite::kAlways:
      break;
  }
  return OverwriteMode::omAlways;
}

// An entry arriving under `rule`: it replaces the last entry of its name in place (taking the
// new spelling), or is appended. The last, because that is the one readers see: Java's ZipFile
// answers it, and unzip writes it over the others.
void Arrive(ArchiveState& state, Entry entry, Overwrite rule) {
  for (auto it = state.entries.rbegin(); it != state.entries.rend(); ++it) {
    Entry& old = *it;
    if (!SameName(old.name, entry.name, kFoldCase)) continue;
    const bool replace = rule == Overwrite::kAlways ||
                         (rule == Overwrite::kIfNewer && old.dos_time && entry.dos_time &&
                          Signed(*entry.dos_time) > Signed(*old.dos_time));
    if (replace) old = std::move(entry);
    return;
  }
  state.entries.push_back(std::move(entry));
}

std::u16string Folded(std::u16string name) {
  for (char16_t& c : name) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return name;
}

// A mask that selects `name`: the whole name, its last part, or a case variant of either.
std::u16string MaskFor(Draw& draw, const std::u16string& name) {
  std::u16string mask = name;
  if (mask.ends_with(u'/')) mask.pop_back();
  const std::size_t slash = mask.rfind(u'/');
  if (slash != std::u16string::npos && draw.OneIn(3)) mask = mask.substr(slash + 1);
  if (draw.OneIn(4)) {
    for (char16_t& c : mask) {
      if (c >= u'a' && c <= u'z')
        c = static_cast<char16_t>(c - u'a' + u'A');
      else if (c >= u'A' && c <= u'Z')
        c = static_cast<char16_t>(c - u'A' + u'a');
    }
  }
  return mask;
}

// One call on the component inside a transaction.
struct Operation {
  std::string label;
  std::function<void(ZipArchiver&)> run;
};

enum class Ending { kEndUpdate, kClose, kCancel };
enum class Fault { kNone, kFailingCall, kPowerCut };

struct Transaction {
  // Operations that commit by themselves when `framed` is false (exactly one then).
  bool framed = false;
  Ending ending = Ending::kEndUpdate;
  Fault fault = Fault::kNone;
  std::vector<Operation> operations;
  ArchiveState expected;
  // Disk files a successful commit moves into the archive.
  std::vector<fs::path> moved;
  // Sources that fail at the commit, answered with Ignore.
  bool ignores_failures = false;
  bool has_move = false;
  // A change the engine must refuse: the state stays as it was, with or without an error.
  bool refused = false;
  // Folded names of entries an operation of this transaction touched already.
  std::vector<std::u16string> touched;
  // Folded names a rename of this transaction gave to entries that stood before it.
  std::vector<std::u16string> renamed;
  std::string Label() const {
    std::string label = framed ? "{ " : "";
    for (std::size_t i = 0; i < operations.size(); ++i) {
      label += (i ? "; " : "") + operations[i].label;
    }
    if (framed) {
      label += ending == Ending::kCancel  ? " } cancelled"
               : ending == Ending::kClose ? " } closed"
                                          : " }";
    }
    if (fault == Fault::kFailingCall) label += " [failing call]";
    if (fault == Fault::kPowerCut) label += " [power cut]";
    return label;
  }
};

class Sequence {
 public:
  Sequence(Draw& draw, const SequenceOptions& options, const fs::path& folder, SequenceStats& stats)
      : draw_(draw),
        options_(options),
        folder_(folder),
        archive_(folder / "work.zip"),
        stats_(stats) {}

  std::vector<std::string> Run() {
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "src");
    MakeFixture();
    log_.push_back("fixture:\n" + Describe(state_));
    if (!CheckArchive(state_, "the fixture")) return findings_;
    const int count = 1 + static_cast<int>(draw_.Below(options_.max_transactions));
    for (int i = 0; i < count && findings_.empty(); ++i) {
      Transaction t = Draft();
      if (t.operations.empty()) continue;
      log_.push_back(std::to_string(i) + ": " + t.Label());
      if (options_.verbose) std::printf("  %s\n", log_.back().c_str());
      ++stats_.transactions;
      stats_.operations += static_cast<long>(t.operations.size());
      Carry(t);
    }
    archiver_.reset();
    if (findings_.empty() && options_.run_tool) CheckWithTools();
    ++stats_.sequences;
    stats_.findings += static_cast<long>(findings_.size());
    return findings_;
  }

 private:
  // --- The starting archive, written without the engine.
  void MakeFixture() {
    std::vector<FixtureEntry> entries;
    const std::uint32_t count = draw_.Below(6);
    ArchiveState state;
    for (std::uint32_t i = 0; i < count; ++i) {
      FixtureEntry f;
      const bool folder = draw_.OneIn(6);
      f.name = folder ? draw_.Pick(kFolders) + "/" : draw_.Pick(kNames);
      f.data = folder ? "" : Data();
      f.dos_time = platform::UnixTimeToDosDateTime(Time());
      f.external_attr = folder ? 0x10 : draw_.Pick(kAttributes);
      f.comment = draw_.Pick(kComments);
      f.deflate = draw_.OneIn(2);
      Entry e{U16(f.name), f.data, f.dos_time, f.external_attr, f.comment};
      ArchiveState next = state;
      next.entries.push_back(e);
      if (!Admissible(next)) continue;
      state = std::move(next);
      entries.push_back(std::move(f));
    }
    std::vector<std::size_t> order;
    if (options_.hazards.directory_order_unlike_file_order && entries.size() > 1 &&
        draw_.OneIn(2)) {
      for (std::size_t i = 0; i < entries.size(); ++i) order.push_back(i);
      for (std::size_t i = order.size() - 1; i > 0; --i) {
        std::swap(order[i], order[draw_.Below(static_cast<std::uint32_t>(i + 1))]);
      }
      state_.entries.clear();
      for (std::size_t i : order) state_.entries.push_back(state.entries[i]);
    } else {
      state_.entries = state.entries;
    }
    state_.comment = draw_.Pick(kComments);
    WriteFixture(archive_, entries, order, state_.comment);
  }

  // --- Drawing values.
  std::string Data() {
    static const std::vector<std::uint32_t> kSizes = {0, 1, 17, 300, 5000, 70000};
    const std::uint32_t size = draw_.Pick(kSizes);
    std::string data(size, '\0');
    const bool text = draw_.OneIn(2);
    const std::uint32_t seed = draw_.Below(1u << 30);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::uint32_t i = 0; i < size; ++i) {
      x = x * 1103515245u + 12345u;
      data[i] = text ? "the quick brown fox "[(x >> 16) % 20] : static_cast<char>(x >> 16);
    }
    return data;
  }
  std::time_t Time() {
    return kEarliest + 2 * static_cast<std::time_t>(
                               draw_.Below(static_cast<std::uint32_t>((kLatest - kEarliest) / 2)));
  }

  // Names stay apart as far as the switched-off hazards require.
  bool Admissible(const ArchiveState& state) const {
    const auto& entries = state.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].name.size() > 65535) return false;
      for (std::size_t j = i + 1; j < entries.size(); ++j) {
        if (!options_.hazards.duplicate_names && entries[i].name == entries[j].name) return false;
        if (!options_.hazards.case_variants && entries[i].name != entries[j].name &&
            Folded(entries[i].name) == Folded(entries[j].name)) {
          return false;
        }
      }
    }
    return true;
  }

  std::u16string NewFolder() {
    return folder_.u16string() + u"/src/" + U16(std::to_string(next_folder_++));
  }

  // --- Drafting a transaction: each operation changes `t.expected` as the engine should.
  Transaction Draft() {
    Transaction t;
    t.expected = state_;
    t.framed = draw_.OneIn(2);
    if (!t.framed) {
      DraftOperation(t, /*framed=*/false);
    } else {
      const std::uint32_t count = 1 + draw_.Below(4);
      // A vanishing source ends the transaction: its entry stands in the directory until the
      // commit drops it, where later operations would meet it and the model would not.
      for (std::uint32_t i = 0; i < count && !t.ignores_failures; ++i) {
        DraftOperation(t, /*framed=*/true);
      }
      const std::uint32_t end = draw_.Below(8);
      t.ending = end == 0 ? Ending::kCancel : end == 1 ? Ending::kClose : Ending::kEndUpdate;
      if (t.ending == Ending::kCancel) t.expected = state_;
    }
    if (!t.ignores_failures && options_.fault_one_in && draw_.OneIn(options_.fault_one_in)) {
      t.fault = draw_.OneIn(2) ? Fault::kFailingCall : Fault::kPowerCut;
    }
    return t;
  }

  void Touch(Transaction& t, const std::u16string& name) { t.touched.push_back(Folded(name)); }
  bool Touched(const Transaction& t, const std::u16string& name) const {
    return std::find(t.touched.begin(), t.touched.end(), Folded(name)) != t.touched.end();
  }

  const Entry* AnyEntry(const ArchiveState& state, bool files_only) {
    std::vector<const Entry*> found;
    for (const Entry& e : state.entries) {
      if (!files_only || !e.IsFolder()) found.push_back(&e);
    }
    return found.empty() ? nullptr : found[draw_.Below(static_cast<std::uint32_t>(found.size()))];
  }

  void DraftOperation(Transaction& t, bool framed) {
    const Transaction before = t;
    for (int attempt = 0; attempt < 6; ++attempt) {
      t = before;  // what a rejected draft noted
      ArchiveState next = t.expected;
      std::optional<Operation> op;
      switch (draw_.Below(framed ? 17 : 20)) {
        case 0:
        case 1:
        case 2:
          op = AddBuffer(t, next);
          break;
        case 3:
        case 4:
          op = AddStream(t, next);
          break;
        case 5:
        case 6:
          op = AddDiskFile(t, next, Overwrite::kAlways, false);
          break;
        case 7:
          op = AddDiskFile(t, next, Overwrite::kIfNewer, false);
          break;
        case 8:
          op = AddFolder(t, next);
          break;
        case 9:
          op = AddDiskFile(t, next, Overwrite::kAlways, true);
          break;
        case 10:
        case 11:
          op = Freshen(t, next);
          break;
        case 12:
          op = Delete(t, next);
          break;
        case 13:
          op = Rename(t, next);
          break;
        case 14:
          op = ChangeAttributes(t, next);
          break;
        case 15:
          op = ChangeComment(t, next);
          break;
        case 16:
          op = framed ? Vanish(t, next) : ArchiveComment(next);
          break;
        case 17:
        case 18:
          op = Merge(t, next);
          break;
        case 19:
          op = framed ? ArchiveComment(next) : OverlongRename(t, next);
          break;
      }
      if (!op || !Admissible(next)) continue;
      t.expected = std::move(next);
      t.operations.push_back(std::move(*op));
      return;
    }
  }

  std::optional<Operation> AddBuffer(Transaction& t, ArchiveState& next) {
    Entry e{U16(draw_.Pick(kNames)), Data(), {}, draw_.Pick(kAttributes), std::string()};
    const std::time_t when = Time();
    e.dos_time = platform::UnixTimeToDosDateTime(when);
    Touch(t, e.name);
    Arrive(next, e, Overwrite::kAlways);
    return Operation{
        "buffer '" + U8(e.name) + "' " + std::to_string(e.data.size()), [e, when](ZipArchiver& a) {
          a.Options().OverwriteMode = OverwriteMode::omAlways;
          a.AddFromBuffer(e.name, e.data.data(), static_cast<std::int32_t>(e.data.size()),
                          static_cast<std::int32_t>(e.attr), when);
        }};
  }

  std::optional<Operation> AddStream(Transaction& t, ArchiveState& next) {
    const std::string whole = Data();
    const bool copy = draw_.OneIn(2);
    std::int64_t position = 0;
    std::int64_t count = 0;
    Entry e{U16(draw_.Pick(kNames)), whole, {}, draw_.Pick(kAttributes), std::string()};
    if (copy && !whole.empty()) {
      position = draw_.Below(static_cast<std::uint32_t>(whole.size()));
      count = 1 + draw_.Below(static_cast<std::uint32_t>(whole.size() - position));
      e.data = whole.substr(position, count);
    }
    const std::time_t when = Time();
    e.dos_time = platform::UnixTimeToDosDateTime(when);
    Touch(t, e.name);
    Arrive(next, e, Overwrite::kAlways);
    // Without a copy the stream must live until the commit.
    auto stream = std::make_shared<platform::MemoryStream>(
        std::vector<unsigned char>(whole.begin(), whole.end()));
    return Operation{
        "stream '" + U8(e.name) + "' " + std::to_string(e.data.size()) + (copy ? " copied" : ""),
        [e, stream, copy, position, count, when, this](ZipArchiver& a) {
          streams_.push_back(stream);
          a.Options().OverwriteMode = OverwriteMode::omAlways;
          a.AddFromStream(e.name, *stream, copy, position, count, static_cast<std::int32_t>(e.attr),
                          when);
        }};
  }

  // A disk file in a folder of its own, added (or moved) by its relative name.
  std::optional<Operation> AddDiskFile(Transaction& t, ArchiveState& next, Overwrite rule,
                                       bool move) {
    const std::string relative = draw_.Pick(kNames);
    const std::u16string base = NewFolder();
    const fs::path file = fs::path(base) / fs::path(U16(relative));
    const std::time_t when = Time();
    Entry e{U16(relative), Data(), platform::UnixTimeToDosDateTime(when), 0x20, std::string()};
    Spill(file, e.data);
    platform::Platform::Native().SetLastWriteUnixTime(file.u16string(), when);
    if (move) {
      t.moved.push_back(file);
      t.has_move = true;
      e.moved_from = file.u16string();
    }
    Touch(t, e.name);
    Arrive(next, e, rule);
    const char* verb = move ? "move" : rule == Overwrite::kIfNewer ? "update" : "add";
    return Operation{std::string(verb) + " '" + relative + "' " + std::to_string(e.data.size()),
                     [e, base, rule, move](ZipArchiver& a) {
                       a.Options().OverwriteMode = ModeOf(rule);
                       a.SetBaseDir(base);
                       if (move) {
                         a.MoveFiles(e.name, kAll, u"");
                       } else {
                         a.AddFiles(e.name, kAll, u"");
                       }
                     }};
  }

  // A folder with one file, found by walking "*.*": the folder's entry, then the file's.
  std::optional<Operation> AddFolder(Transaction& t, ArchiveState& next) {
    const std::string folder = draw_.Pick(kFolders);
    const std::string inner = folder + "/" + draw_.Pick(kFolderFiles);
    const std::u16string base = NewFolder();
    const std::time_t when = Time();
    Entry f{U16(inner), Data(), platform::UnixTimeToDosDateTime(when), 0x20, std::string()};
    Spill(fs::path(base) / fs::path(f.name), f.data);
    platform::Platform::Native().SetLastWriteUnixTime(
        (fs::path(base) / fs::path(f.name)).u16string(), when);
    Entry d{U16(folder + "/"), "", std::nullopt, 0x10, std::string()};
    Touch(t, d.name);
    Touch(t, f.name);
    Arrive(next, d, Overwrite::kAlways);
    Arrive(next, f, Overwrite::kAlways);
    return Operation{"add folder '" + inner + "'", [base](ZipArchiver& a) {
                       a.Options().OverwriteMode = OverwriteMode::omAlways;
                       a.SetBaseDir(base);
                       a.AddFiles(u"*.*", kAll, u"");
                     }};
  }

  // A disk file added in the transaction and gone before the commit; the failure is ignored.
  std::optional<Operation> Vanish(Transaction& t, ArchiveState& next) {
    std::string relative = draw_.Pick(kNames);
    if (options_.hazards.ignored_twice_added && draw_.OneIn(2)) {
      // A name this transaction added already.
      for (const Entry& e : next.entries) {
        const bool added = std::none_of(state_.entries.begin(), state_.entries.end(),
                                        [&](const Entry& old) { return old.name == e.name; });
        if (added && !e.IsFolder()) relative = U8(e.name);
      }
    }
    const std::u16string name = U16(relative);
    const bool move = draw_.OneIn(2);
    const Entry* replaced = nullptr;
    for (auto it = next.entries.rbegin(); it != next.entries.rend(); ++it) {
      if (SameName(it->name, name, kFoldCase)) {
        replaced = &*it;
        break;
      }
    }
    if (Touched(t, name) && !options_.hazards.ignored_twice_added) return std::nullopt;
    // The entry the source would have made must be one the hazards allow.
    ArchiveState with = next;
    Arrive(with, Entry{name}, Overwrite::kAlways);
    if (!Admissible(with)) return std::nullopt;
    if (move && replaced && !options_.hazards.ignored_moved_replacement) return std::nullopt;
    // What stays is what the transaction had before: the old entry, or nothing. Only
    // untouched entries keep a record of their own to fall back on.
    bool drops_replaced = false;
    // An entry renamed earlier in this transaction falls back to its record as it stood before
    // the transaction, old name and all; the model keeps no identity to follow it by, so that
    // case is not drawn.
    if (replaced &&
        std::find(t.renamed.begin(), t.renamed.end(), Folded(replaced->name)) != t.renamed.end()) {
      return std::nullopt;
    }
    if (replaced && Touched(t, replaced->name)) {
      // Added earlier in this transaction: with no record of its own it goes, like any new
      // entry whose source fails.
      const bool committed =
          std::any_of(state_.entries.begin(), state_.entries.end(),
                      [&](const Entry& e) { return Folded(e.name) == Folded(name); });
      if (committed || !options_.hazards.ignored_twice_added) return std::nullopt;
      drops_replaced = true;
    }
    if (drops_replaced) {
      std::erase_if(next.entries, [&](const Entry& e) { return &e == replaced; });
    }
    const std::u16string base = NewFolder();
    const fs::path file = fs::path(base) / fs::path(name);
    Spill(file, "gone before the commit");
    t.ignores_failures = true;
    t.has_move = t.has_move || move;
    Touch(t, name);
    return Operation{std::string(move ? "move" : "add") + " '" + relative + "' (source vanishes)",
                     [name, base, file, move](ZipArchiver& a) {
                       a.Options().OverwriteMode = OverwriteMode::omAlways;
                       a.SetBaseDir(base);
                       if (move) {
                         a.MoveFiles(name, kAll, u"");
                       } else {
                         a.AddFiles(name, kAll, u"");
                       }
                       fs::remove(file);
                     }};
  }

  // UpdateFiles: every file entry the mask selects whose disk file exists (and is newer,
  // under omIfNewer) is rebuilt from it.
  std::optional<Operation> Freshen(Transaction& t, ArchiveState& next) {
    const Entry* target = AnyEntry(next, true);
    if (!target) return std::nullopt;
    const std::u16string name = target->name;
    const std::u16string mask = MaskFor(draw_, name);
    const Overwrite rule = draw_.OneIn(2) ? Overwrite::kIfNewer : Overwrite::kAlways;
    const std::u16string base = NewFolder();
    const fs::path file = fs::path(base) / fs::path(name);
    const std::time_t when = Time();
    const std::string data = Data();
    const std::uint32_t dos = platform::UnixTimeToDosDateTime(when);
    Spill(file, data);
    platform::Platform::Native().SetLastWriteUnixTime(file.u16string(), when);
    for (Entry& e : next.entries) {
      if (e.IsFolder() || !MaskSelects(mask, e.name) || !SameName(e.name, name, kFoldCase))
        continue;
      if (rule == Overwrite::kIfNewer && (!e.dos_time || Signed(dos) <= Signed(*e.dos_time)))
        continue;
      Touch(t, e.name);
      e.data = data;
      e.dos_time = dos;
      e.attr = 0x20;
      e.comment.reset();
      e.moved_from.clear();  // the moved file's data is no longer what the entry holds
    }
    return Operation{
        std::string(rule == Overwrite::kIfNewer ? "freshen newer '" : "freshen '") + U8(mask) + "'",
        [mask, base, rule](ZipArchiver& a) {
          a.Options().OverwriteMode = ModeOf(rule);
          a.SetBaseDir(base);
          a.UpdateFiles(mask, kAll, u"");
        }};
  }

  std::optional<Operation> Delete(Transaction& t, ArchiveState& next) {
    const Entry* target = AnyEntry(next, false);
    const std::u16string mask = target ? MaskFor(draw_, target->name) : u"nothing.here";
    std::vector<Entry> kept;
    for (Entry& e : next.entries) {
      if (MaskSelects(mask, e.name)) {
        Touch(t, e.name);
      } else {
        kept.push_back(std::move(e));
      }
    }
    next.entries = std::move(kept);
    return Operation{"delete '" + U8(mask) + "'",
                     [mask](ZipArchiver& a) { a.DeleteFiles(mask, kAll, u""); }};
  }

  // RenameFile renames the first entry the mask selects (every occurrence of the old text in
  // its name, without regard to case) and, for a folder, everything below it the same way.
  std::optional<Operation> Rename(Transaction& t, ArchiveState& next) {
    const Entry* target = AnyEntry(next, false);
    if (!target) return std::nullopt;
    const std::u16string from = MaskFor(draw_, target->name);
    Entry* first = nullptr;
    for (Entry& e : next.entries) {
      if (MaskSelects(from, e.name)) {
        first = &e;
        break;
      }
    }
    if (!first) return std::nullopt;
    const bool folder = first->IsFolder();
    std::u16string to;
    if (folder) {
      to = U16(draw_.Pick(std::vector<std::string>{"moved", "Dir2", "архив"}));
    } else if (from.find(u'/') == std::u16string::npos) {
      to = U16(draw_.Pick(std::vector<std::string>{"r.txt", "R.TXT", "é.txt", "new name.bin"}));
      if (draw_.OneIn(3)) {
        const std::u16string other = U16(draw_.Pick(kNames));
        if (other.find(u'/') == std::u16string::npos) to = other;
      }
    } else {
      to = U16(draw_.Pick(kNames));
    }
    if (Folded(to).find(Folded(from)) != std::u16string::npos) return std::nullopt;
    const std::u16string before = first->name;
    Touch(t, before);
    first->name = ReplaceAll(before, from, to);
    Touch(t, first->name);
    t.renamed.push_back(Folded(first->name));
    if (folder) {
      for (Entry& e : next.entries) {
        std::u16string_view whole = e.name;
        if (whole.ends_with(u'/')) whole.remove_suffix(1);
        if (&e == first || whole.size() <= before.size() ||
            Folded(std::u16string(whole.substr(0, before.size()))) != Folded(before)) {
          continue;
        }
        Touch(t, e.name);
        e.name = ReplaceAll(e.name, from, to);
        Touch(t, e.name);
        t.renamed.push_back(Folded(e.name));
      }
    }
    return Operation{"rename '" + U8(from) + "' to '" + U8(to) + "'",
                     [from, to](ZipArchiver& a) { a.RenameFile(from, to); }};
  }

  std::optional<Operation> OverlongRename(Transaction& t, ArchiveState&) {
    if (!options_.hazards.overlong_rename) return std::nullopt;
    const Entry* target = AnyEntry(t.expected, true);
    if (!target) return std::nullopt;
    const std::u16string from = target->name;
    t.refused = true;
    return Operation{"rename '" + U8(from) + "' to 70000 letters",
                     [from](ZipArchiver& a) { a.RenameFile(from, std::u16string(70000, u'n')); }};
  }

  std::optional<Operation> ChangeAttributes(Transaction& t, ArchiveState& next) {
    const Entry* target = AnyEntry(next, false);
    if (!target) return std::nullopt;
    const std::u16string mask = MaskFor(draw_, target->name);
    const std::uint32_t attr = draw_.Pick(kAttributes);
    for (Entry& e : next.entries) {
      if (!MaskSelects(mask, e.name)) continue;
      Touch(t, e.name);
      e.attr = attr | (e.IsFolder() ? 0x10 : 0);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02x", attr);
    return Operation{"attributes '" + U8(mask) + "' " + hex,
                     [mask, attr](ZipArchiver& a) { a.ChangeFilesAttr(mask, attr); }};
  }

  std::optional<Operation> ChangeComment(Transaction& t, ArchiveState& next) {
    const Entry* target = AnyEntry(next, false);
    if (!target) return std::nullopt;
    const std::u16string mask = MaskFor(draw_, target->name);
    const std::string comment = draw_.Pick(kComments);
    for (Entry& e : next.entries) {
      if (!MaskSelects(mask, e.name)) continue;
      Touch(t, e.name);
      e.comment = comment;
    }
    return Operation{"comment '" + U8(mask) + "' '" + comment + "'",
                     [mask, comment](ZipArchiver& a) { a.ChangeFilesComment(mask, comment); }};
  }

  std::optional<Operation> ArchiveComment(ArchiveState& next) {
    const std::string comment = draw_.Pick(kComments) + (draw_.OneIn(2) ? " archive" : "");
    next.comment = comment;
    return Operation{"archive comment '" + comment + "'",
                     [comment](ZipArchiver& a) { a.SetComment(comment); }};
  }

  // MergeWith another archive: its entries are appended, or replace (omAlways) or leave
  // (omNever) an entry of the same name.
  std::optional<Operation> Merge(Transaction& t, ArchiveState& next) {
    const Overwrite rule = draw_.OneIn(2) ? Overwrite::kAlways : Overwrite::kNever;
    std::vector<FixtureEntry> entries;
    ArchiveState other;
    const std::uint32_t count = 1 + draw_.Below(3);
    for (std::uint32_t i = 0; i < count; ++i) {
      FixtureEntry f;
      f.name = draw_.Pick(kNames);
      f.data = Data();
      f.dos_time = platform::UnixTimeToDosDateTime(Time());
      f.external_attr = draw_.Pick(kAttributes);
      f.comment = draw_.Pick(kComments);
      f.deflate = draw_.OneIn(2);
      // Two entries of one name in the other archive leave a slot counted twice.
      bool twice = false;
      for (const FixtureEntry& g : entries)
        twice = twice || SameName(U16(g.name), U16(f.name), kFoldCase);
      if (twice) continue;
      Entry e{U16(f.name), f.data, f.dos_time, f.external_attr, f.comment};
      for (const Entry& old : next.entries) {
        // A replaced entry keeps its place in the directory while its record moves to the
        // end of the file.
        if (rule == Overwrite::kAlways && SameName(old.name, e.name, kFoldCase) &&
            !options_.hazards.directory_order_unlike_file_order) {
          return std::nullopt;
        }
      }
      Touch(t, e.name);
      Arrive(next, e, rule);
      entries.push_back(std::move(f));
    }
    const fs::path path = folder_ / ("other" + std::to_string(next_folder_++) + ".zip");
    WriteFixture(path, entries, {}, "other");
    std::string label = std::string("merge") + (rule == Overwrite::kNever ? " (keep)" : "");
    for (const FixtureEntry& f : entries) label += " '" + f.name + "'";
    return Operation{label, [path, rule](ZipArchiver& a) {
                       a.Options().OverwriteMode = ModeOf(rule);
                       a.MergeWith(path.u16string());
                     }};
  }

  // --- Carrying a transaction out and checking the outcome.
  void Open() {
    archiver_ = std::make_unique<ZipArchiver>();
    archiver_->SetFileName(archive_.u16string());
    archiver_->OnProcessFileFailure = [this](BaseArchiver&, const std::u16string& file,
                                             ProcessOperation operation, int native, int,
                                             const std::u16string& message, Action& action) {
      action = on_failure_;
      if (options_.verbose) {
        std::printf("    failure: %s (operation %d, native error %d): %s\n", U8(file).c_str(),
                    static_cast<int>(operation), native, U8(message).c_str());
      }
    };
    archiver_->OpenArchive();
  }

  // Runs the transaction's operations; `arm` is called where the commit begins. Returns the
  // exception's text when one reached the caller.
  std::optional<std::string> Perform(const Transaction& t, const std::function<void()>& arm) {
    try {
      if (!archiver_) Open();
      ZipArchiver& a = *archiver_;
      if (!t.framed) {
        arm();
        t.operations.front().run(a);
        return std::nullopt;
      }
      a.BeginUpdate();
      for (const Operation& op : t.operations) op.run(a);
      arm();
      switch (t.ending) {
        case Ending::kEndUpdate:
          a.EndUpdate();
          break;
        case Ending::kCancel:
          a.CancelUpdate();
          a.EndUpdate();
          break;
        case Ending::kClose:
          a.CloseArchive();
          break;
      }
    } catch (const ArchiveError& e) {
      return "native error " + std::to_string(e.NativeError()) + ": " + U8(e.Message());
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::nullopt;
  }

  void Carry(Transaction& t) {
    on_failure_ = t.ignores_failures ? Action::fxaIgnore : Action::fxaAbort;
    switch (t.fault) {
      case Fault::kNone:
        CarryPlain(t);
        break;
      case Fault::kFailingCall:
        CarryWithFailingCall(t);
        break;
      case Fault::kPowerCut:
        CarryWithPowerCut(t);
        break;
    }
    streams_.clear();
  }

  const ArchiveState& Expected(const Transaction& t) const {
    return t.refused ? state_ : t.expected;
  }

  void CarryPlain(Transaction& t) {
    const std::optional<std::string> error = Perform(t, [] {});
    if (error && !t.refused) Find("the transaction failed: " + *error);
    const ArchiveState& expected = Expected(t);
    if (!CheckArchive(expected, "after the transaction")) return;
    CheckLive(expected);
    CheckMoved(t, t.ending != Ending::kCancel && !t.refused);
    Settle(expected);
    if (t.ending == Ending::kClose || (t.has_move && !options_.hazards.commit_after_move)) {
      archiver_.reset();
    }
  }

  void CarryWithFailingCall(Transaction& t) {
    ++stats_.failing_calls;
    archiver_.reset();  // the archive is opened again through the failing platform
    FaultPlan plan;
    plan.fail_at = 1 + draw_.Below(60);
    plan.refuse_tail = draw_.OneIn(3);
    FaultyDisk disk(plan);
    {
      platform::ScopedPlatform installed(disk);
      const std::optional<std::string> error = Perform(t, [&] { plan.armed = true; });
      plan.armed = false;
      const bool reached = plan.calls >= plan.fail_at;
      if (reached) ++stats_.failing_calls_reached;
      if (error) ++stats_.failures_seen;
      ArchiveState observed;
      std::string read_error;
      if (!Observe(archive_, observed, read_error)) {
        Find("after call " + std::to_string(plan.fail_at) + " failed: " + read_error);
        return;
      }
      const bool old = Compare(state_, observed).empty();
      const ArchiveState& expected = Expected(t);
      if (!reached && error && !t.refused) {
        Find("the transaction failed without a fault: " + *error);
      } else if (!reached || (!error && !old)) {
        if (!CheckArchive(expected, "after call " + std::to_string(plan.fail_at) + " failed"))
          return;
        Settle(expected);
      } else if (!old) {
        Find("call " + std::to_string(plan.fail_at) + " failed (" + *error +
             ") and the archive is not the old one:\n" + Compare(state_, observed));
        return;
      }
      CheckLive(state_);
      CheckMoved(t, !old && t.ending != Ending::kCancel, /*faulted=*/true);
      CheckNothingLeft("after call " + std::to_string(plan.fail_at) + " failed");
      archiver_.reset();
    }
  }

  void CarryWithPowerCut(Transaction& t) {
    archiver_.reset();
    FaultPlan plan;
    const long n = static_cast<long>(draw_.Below(80));
    plan.crash_after = n;
    plan.refuse_tail = draw_.OneIn(3);
    FaultyDisk disk(plan);
    {
      platform::ScopedPlatform installed(disk);
      Perform(t, [&] { plan.armed = true; });
      // The process dies here; nothing it does from now on reaches the disk.
      plan.dead = plan.dead || plan.writes > n;
      plan.armed = true;
      archiver_.reset();
      plan.armed = false;
    }
    if (!plan.dead) {
      // The transaction finished within n writes: as without a fault.
      if (CheckArchive(Expected(t), "after the transaction")) Settle(Expected(t));
      CheckMoved(t, t.ending != Ending::kCancel && !t.refused);
      return;
    }
    ++stats_.power_cuts;
    testing::Reboot(plan);
    ArchiveState observed;
    std::string error;
    if (!Observe(archive_, observed, error)) {
      Find("after a power cut at write " + std::to_string(n) + ": " + error);
      return;
    }
    if (fs::exists(archive_.string() + ".qmtail")) Find("the tail file survived the next open");
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename().string().starts_with("FC")) fs::remove(entry.path());
    }
    if (Compare(state_, observed).empty()) {
      ++stats_.cuts_old;
      CheckMoved(t, false, /*faulted=*/true);
    } else if (Compare(Expected(t), observed).empty()) {
      ++stats_.cuts_new;
      CheckMoved(t, t.ending != Ending::kCancel, /*faulted=*/true);
      Settle(Expected(t));
    } else {
      Find("after a power cut at write " + std::to_string(n) +
           " the archive is neither the old nor the new one; against the new one:\n" +
           Compare(Expected(t), observed));
    }
  }

  bool CheckArchive(const ArchiveState& expected, const std::string& when) {
    ArchiveState observed;
    std::string error;
    if (!Observe(archive_, observed, error)) {
      Find(when + ": " + error);
      return false;
    }
    const std::string difference = Compare(expected, observed);
    if (!difference.empty()) {
      Find(when + " the archive differs from the model:\n" + difference);
      return false;
    }
    return CheckNothingLeft(when);
  }

  // No tail file or temporary file stays beside the archive.
  bool CheckNothingLeft(const std::string& when) {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (name != "work.zip" && name != "src" && !name.starts_with("other")) {
        Find(when + ": " + name + " was left beside the archive");
        return false;
      }
    }
    return true;
  }

  void CheckLive(const ArchiveState& expected) {
    if (!archiver_ || !archiver_->Active()) return;
    const std::string difference = CompareDirectory(expected, *archiver_);
    if (!difference.empty())
      Find("the component's directory differs from the archive:\n" + difference);
  }

  // Moved sources go only with a commit that kept them.
  // A moved file goes with the commit that put its data into the archive, and only then: one
  // whose entry was replaced, updated from another file or deleted in the same transaction
  // stays. After a fault a committed move may leave its file (deleting it may have failed).
  void CheckMoved(const Transaction& t, bool committed, bool faulted = false) {
    for (const fs::path& file : t.moved) {
      const bool goes = committed && std::any_of(t.expected.entries.begin(),
                                                 t.expected.entries.end(), [&](const Entry& e) {
                                                   return e.moved_from == file.u16string();
                                                 });
      const std::string name = file.filename().string();
      if (!goes && !fs::exists(file))
        Find(name + " was moved away but its data is not in the archive");
      if (goes && !faulted && fs::exists(file))
        Find(name + " was moved into the archive but is still on disk");
    }
  }

  // A committed state: nothing is pending any more.
  void Settle(const ArchiveState& committed) {
    state_ = committed;
    for (Entry& e : state_.entries) e.moved_from.clear();
  }

  void CheckWithTools() {
    if (state_.entries.empty()) return;  // both tools call an archive without entries a failure
    for (const char* command : {"unzip -tqq work.zip", "7zz t -bd work.zip"}) {
      std::string output;
      if (options_.run_tool(command, folder_, output) != 0) {
        Find(std::string(command) + " failed:\n" + output);
      }
    }
  }

  void Find(const std::string& what) {
    std::string story;
    for (const std::string& line : log_) story += line + "\n";
    findings_.push_back(what + "\nafter:\n" + story + "model before the last transaction:\n" +
                        Describe(state_));
  }

  Draw& draw_;
  const SequenceOptions& options_;
  fs::path folder_;
  fs::path archive_;
  SequenceStats& stats_;
  ArchiveState state_;
  std::unique_ptr<ZipArchiver> archiver_;
  Action on_failure_ = Action::fxaAbort;
  int next_folder_ = 0;
  std::vector<std::shared_ptr<platform::MemoryStream>> streams_;
  std::vector<std::string> log_;
  std::vector<std::string> findings_;
};

}  // namespace

void SequenceStats::Add(const SequenceStats& o) {
  sequences += o.sequences;
  transactions += o.transactions;
  operations += o.operations;
  failing_calls += o.failing_calls;
  failing_calls_reached += o.failing_calls_reached;
  failures_seen += o.failures_seen;
  power_cuts += o.power_cuts;
  cuts_old += o.cuts_old;
  cuts_new += o.cuts_new;
  findings += o.findings;
}

std::string SequenceStats::Summary() const {
  std::ostringstream out;
  out << sequences << " sequences, " << transactions << " transactions, " << operations
      << " operations; " << failing_calls << " with a failing call (" << failing_calls_reached
      << " reached, " << failures_seen << " reported), " << power_cuts << " power cuts ("
      << cuts_old << " old, " << cuts_new << " new); " << findings << " findings";
  return out.str();
}

std::vector<std::string> RunSequence(Draw& draw, const SequenceOptions& options,
                                     const fs::path& folder, SequenceStats& stats) {
  return Sequence(draw, options, folder, stats).Run();
}

}  // namespace qm::archive::model
