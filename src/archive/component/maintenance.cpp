// Changes to the entries an archive already has: delete, update from disk, rename, attributes
// and comments. All of them change the directory in memory only; the commit writes the file,
// copying the records of renamed and re-attributed entries without decoding them.
#include <algorithm>
#include <utility>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/processing_run.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "archive/writing/commit_plan.h"
#include "archive/writing/record_writer.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::archive {
namespace {

namespace attr = platform::attr;

constexpr std::int32_t kEveryEntry = ArchiveOptions::kDefaultSearchAttr;

// By its attribute, or by its name: some tools store folders without the attribute.
bool IsFolder(const DirItem& item) {
  return (item.CentralDir.externalAttr & attr::kDirectory) != 0 || item.Name.ends_with(u'/');
}

// The first change of a transaction decides an entry's mark; a rename outranks a change of
// attributes or comment, since the record must then be copied under its new name.
void Mark(DirItem& item, ProcessOperation operation) {
  if (!item.Modified) {
    item.Modified = true;
    item.Operation = operation;
    return;
  }
  if (operation == ProcessOperation::poRename &&
      (item.Operation == ProcessOperation::poChangeAttr ||
       item.Operation == ProcessOperation::poChangeComment)) {
    item.Operation = ProcessOperation::poRename;
  }
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::u16string WithSlashes(std::u16string name) {
  std::replace(name.begin(), name.end(), u'\\', u'/');
  return name;
}

std::u16string WithoutTrailingSlash(std::u16string name) {
  if (name.ends_with(u'/')) name.pop_back();
  return name;
}

// Every occurrence of `from` in `name` replaced by `to`, letters compared without case: what
// a rename by a mask that is not the entry's name or last component falls back to.
std::u16string ReplaceEvery(const std::u16string& name, const std::u16string& from,
                            const std::u16string& to) {
  if (from.empty()) return name;
  std::u16string out;
  std::size_t i = 0;
  while (i < name.size()) {
    if (i + from.size() <= name.size() &&
        EqualNoCase(std::u16string_view(name).substr(i, from.size()), from)) {
      out += to;
      i += from.size();
    } else {
      out += name[i++];
    }
  }
  return out;
}

// The new name of the entry a rename found. Only the part of the name that the old name
// stands for changes: the whole name, or its last component (a name found in a subfolder).
// A blind replacement would also rename "docs/Docsindex.txt" when only "docs" was meant.
std::u16string RenamedName(const std::u16string& name, const std::u16string& from,
                           const std::u16string& to) {
  const bool folder = name.ends_with(u'/');
  const std::u16string bare = WithoutTrailingSlash(name);
  const std::u16string from_bare = WithoutTrailingSlash(from);
  const std::u16string to_bare = WithoutTrailingSlash(to);
  const std::u16string suffix = folder ? u"/" : u"";
  if (EqualNoCase(bare, from_bare)) return to_bare + suffix;
  const std::u16string tail = u"/" + from_bare;
  if (bare.size() > tail.size() &&
      EqualNoCase(std::u16string_view(bare).substr(bare.size() - tail.size()), tail)) {
    return bare.substr(0, bare.size() - from_bare.size()) + to_bare + suffix;
  }
  return ReplaceEvery(name, from, to);
}

// The name an entry found by a rename gets: a member of a renamed folder moves with it, any
// other entry takes the new name where the old one stands.
std::u16string RenamedEntryName(const std::u16string& name, const std::u16string& from,
                                const std::u16string& to, const std::u16string& folder_from,
                                const std::u16string& folder_to) {
  if (!folder_from.empty() && name.size() >= folder_from.size() &&
      EqualNoCase(std::u16string_view(name).substr(0, folder_from.size()), folder_from)) {
    return folder_to + name.substr(folder_from.size());
  }
  return RenamedName(name, from, to);
}

}  // namespace

void BaseArchiver::InTransaction(const std::function<void()>& change) {
  BeginUpdate();
  try {
    change();
  } catch (...) {
    CancelUpdate();
    throw;
  }
  EndUpdate();
}

void BaseArchiver::ProcessInTransaction(ProcessOperation operation) {
  InTransaction([&] {
    ProcessTaggedItems(operation, -1);
    // An abort or cancel rolled the transaction back: nothing of the run reaches the file.
    if (!InUpdate()) run_->completed_file_count = 0;
  });
  // The summary is the loop's, not the commit's (which counts the records it wrote).
  processed_file_no_ = loop_file_no_;
  processed_file_count_ = loop_file_count_;
}

void BaseArchiver::DeleteFiles() {
  CheckOpen();
  CheckVolumeModification();
  TagItems();
  ProcessInTransaction(ProcessOperation::poDelete);
}

void BaseArchiver::DeleteFiles(const std::u16string& file_mask, std::int32_t search_attr,
                               const std::u16string& exclusion_mask) {
  CheckOpen();
  CheckVolumeModification();
  TagItems(file_mask, search_attr, exclusion_mask);
  ProcessInTransaction(ProcessOperation::poDelete);
}

void BaseArchiver::UpdateFiles() {
  CheckOpen();
  CheckVolumeModification();
  TagItems();
  ProcessInTransaction(ProcessOperation::poUpdate);
}

void BaseArchiver::UpdateFiles(const std::u16string& file_mask, std::int32_t search_attr,
                               const std::u16string& exclusion_mask) {
  CheckOpen();
  CheckVolumeModification();
  TagItems(file_mask, search_attr, exclusion_mask);
  ProcessInTransaction(ProcessOperation::poUpdate);
}

BaseArchiver::ItemOutcome BaseArchiver::UpdateItemIfNeeded(std::int32_t index,
                                                           const std::u16string& name,
                                                           const std::u16string& base) {
  DirArray& dir = dir_manager_->CDir;
  if (index < 0 || index >= dir.Count())
    throw ArchiveError(ErrorSite::kProcessIndex, ComponentName());
  const DirItem& item = dir.GetItem(index);
  if (IsFolder(item)) return ItemOutcome::kKept;
  platform::Platform& os = platform::Platform::Current();
  const std::u16string path = ResolvePath(base, name, current_dir_);
  const std::uint32_t disk_attr = os.GetAttributes(path);
  if (disk_attr == attr::kInvalid || (disk_attr & attr::kDirectory) != 0) {
    return ItemOutcome::kKept;
  }
  // The entry's stored bit decides, not the disk file's.
  if (!options_.ReplaceReadOnly && (item.CentralDir.externalAttr & attr::kReadOnly) != 0) {
    return ItemOutcome::kKept;
  }

  const auto disk_time = static_cast<std::int32_t>(os.GetLastWriteDosTime(path).value_or(0));
  std::u16string destination = name;
  if (!OverwriteAllowed(path, destination, [&] { return disk_time <=> item.DosDateTime(); }))
    return ItemOutcome::kKept;

  // Stored names are built relative to the base folder the caller set.
  ScopedValue<std::u16string> current(current_dir_, ResolvePath(base_dir_, u"", current_dir_));
  if (!InUpdate()) throw ArchiveError(ErrorSite::kUpdateNotStarted, ComponentName());
  const std::optional<std::uint64_t> replaced_record = OldRecordOffset(item);
  InitItemEntry(index, path, 0, 0, true);
  DirItem& updated = *dir.ItemPtr(index);
  updated.Operation = ProcessOperation::poUpdate;
  updated.EditChange().ReplacedRecord = replaced_record;
  // The new record describes the disk file: blocks of the old one (timestamps, owners, a
  // cipher's) would contradict it. Name blocks are rebuilt by the record writer.
  std::erase_if(updated.EditRecord().ExtraFields,
                [](const ExtraFieldDataBlock& b) { return b.headerID != extra_id::kUnicodeName; });
  return ItemOutcome::kCompleted;
}

void BaseArchiver::RenameFile(const std::u16string& old_name, const std::u16string& new_name) {
  CheckOpen();
  ArchiveItem f;
  if (!FindFirst(old_name, f, kEveryEntry, u""))
    throw ArchiveError(ErrorSite::kRenameSourceNotFound, {old_name}, ComponentName());
  const std::int32_t found = f.Handle.ItemNo;
  const std::u16string from = WithSlashes(old_name);
  const std::u16string to = WithSlashes(new_name);
  DirArray& dir = dir_manager_->CDir;
  const std::u16string before = dir.GetItem(found).Name;
  std::vector<std::pair<std::int32_t, std::u16string>> renames = {
      {found, RenamedEntryName(before, from, to, {}, {})}};
  if (IsFolder(dir.GetItem(found))) {
    // The members move with their folder: the folder's old path in front of their names
    // becomes its new one.
    std::u16string folder_from = before;
    if (!folder_from.ends_with(u'/')) folder_from += u'/';
    std::u16string folder_to = renames.front().second;
    if (!folder_to.ends_with(u'/')) folder_to += u'/';
    for (bool more = FindFirst(folder_from + u"*.*", f, kEveryEntry, u""); more;
         more = FindNext(f)) {
      if (f.Handle.ItemNo == found) continue;
      renames.emplace_back(f.Handle.ItemNo, RenamedEntryName(dir.GetItem(f.Handle.ItemNo).Name,
                                                             from, to, folder_from, folder_to));
    }
  }
  // A name the records cannot hold is refused before anything changes.
  const RecordSettings settings = MakeRecordSettings();
  for (const auto& [index, renamed] : renames) {
    DirItem probe = dir.GetItem(index);
    probe.Name = renamed;
    CheckRecordLengths(probe, settings, ComponentName());
  }
  InTransaction([&] {
    for (const auto& [index, renamed] : renames) RenameEntry(index, renamed);
  });
}

void BaseArchiver::RenameEntry(std::int32_t index, const std::u16string& renamed) {
  DirArray& dir = dir_manager_->CDir;
  DirItem& item = *dir.ItemPtr(index);
  const std::u16string name = item.Name;
  if (!(item.Modified && item.Operation == ProcessOperation::poRename))
    item.EditChange().OldName = name;
  if (renamed == name) return;
  dir.SetItemName(index, renamed);
  DirItem& changed = *dir.ItemPtr(index);
  changed.CentralDir.nameLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(renamed.size(), 0xFFFF));
  Mark(changed, ProcessOperation::poRename);
}

void BaseArchiver::ChangeEntries(const std::u16string& file_mask, ErrorSite not_found,
                                 ProcessOperation mark,
                                 const std::function<void(DirItem&)>& change) {
  CheckOpen();
  ArchiveItem f;
  if (!FindFirst(file_mask, f, kEveryEntry, u""))
    throw ArchiveError(not_found, {file_mask}, ComponentName());
  InTransaction([&] {
    bool more = true;
    while (more) {
      DirItem& item = *dir_manager_->CDir.ItemPtr(f.Handle.ItemNo);
      change(item);
      Mark(item, mark);
      more = FindNext(f);
    }
  });
}

void BaseArchiver::ChangeFilesAttr(const std::u16string& file_mask, std::uint32_t new_attr) {
  ChangeEntries(file_mask, ErrorSite::kMaskMatchesNothing, ProcessOperation::poChangeAttr,
                [new_attr](DirItem& item) {
                  item.CentralDir.externalAttr =
                      IsFolder(item) ? (new_attr | attr::kDirectory) : new_attr;
                });
}

void BaseArchiver::ChangeFilesIntAttr(const std::u16string& file_mask, std::uint32_t new_attr) {
  ChangeEntries(file_mask, ErrorSite::kNothingFound, ProcessOperation::poChangeAttr,
                [new_attr](DirItem& item) {
                  item.CentralDir.internalAttr = static_cast<std::uint16_t>(new_attr & 0xFFFF);
                });
}

void BaseArchiver::ChangeFilesComment(const std::u16string& file_mask,
                                      const std::string& new_comment) {
  CheckOpen();
  // The central record counts the comment in 16 bits: a longer one is refused before anything
  // changes.
  if (new_comment.size() > 0xFFFF)
    throw ArchiveError(ErrorSite::kCommentTooLong, {file_mask}, ComponentName());
  ChangeEntries(file_mask, ErrorSite::kMaskMatchesNothing, ProcessOperation::poChangeComment,
                [&new_comment](DirItem& item) {
                  item.EditRecord().Comment = new_comment;
                  item.CentralDir.commentLength =
                      static_cast<std::uint16_t>(std::min<std::size_t>(new_comment.size(), 0xFFFF));
                });
}

}  // namespace qm::archive
