#include "archive/writing/commit_plan.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "archive/archive_error.h"

namespace qm::archive {
namespace {

// Where the records of new entries go: after every old one.
constexpr std::uint64_t kAfterOldRecords = std::numeric_limits<std::uint64_t>::max();

bool Renamed(const DirItem& item) {
  return item.Modified && item.Operation == ProcessOperation::poRename;
}

bool WritesNewData(const DirItem& item) {
  return !CarriesOldData(item);
}

// The old records by offset, for finding the record an entry stands for.
class OldRecords {
 public:
  explicit OldRecords(const DirArray& old_dir) {
    by_offset_.reserve(static_cast<std::size_t>(old_dir.Count()));
    for (std::int32_t j = 0; j < old_dir.Count(); ++j) {
      by_offset_.emplace_back(old_dir.GetItem(j).LocalHeaderOffset(), j);
    }
    std::sort(by_offset_.begin(), by_offset_.end());
  }

  // The old entry whose record starts at `offset`, or -1.
  std::int32_t At(std::uint64_t offset) const {
    const auto found = std::lower_bound(by_offset_.begin(), by_offset_.end(),
                                        std::pair<std::uint64_t, std::int32_t>(offset, -1));
    return found != by_offset_.end() && found->first == offset ? found->second : -1;
  }

 private:
  std::vector<std::pair<std::uint64_t, std::int32_t>> by_offset_;
};

}  // namespace

bool CarriesOldData(const DirItem& item) {
  return !item.Modified || item.Operation == ProcessOperation::poRename ||
         item.Operation == ProcessOperation::poChangeAttr ||
         item.Operation == ProcessOperation::poChangeComment;
}

std::optional<std::uint64_t> OldRecordOffset(const DirItem& item) {
  if (CarriesOldData(item)) return item.LocalHeaderOffset();
  if (item.Operation == ProcessOperation::poUpdate || item.Operation == ProcessOperation::poMove) {
    return item.Change().ReplacedRecord;
  }
  return std::nullopt;
}

CommitPlan PlanCommit(const DirArray& old_dir, const DirArray& dir) {
  const OldRecords old_records(old_dir);
  // An old record stays where it is when an entry still points at it unchanged: not renamed
  // (a new name changes the local header's length), not replaced, not deleted.
  std::vector<bool> stays(static_cast<std::size_t>(old_dir.Count()), false);
  struct Placed {
    PlannedEntry entry;
    std::uint64_t position;  // where its record lay, or kAfterOldRecords
    bool unchanged_record;   // its old record goes over as it is
  };
  std::vector<Placed> placed;
  placed.reserve(static_cast<std::size_t>(dir.Count()));
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    const DirItem& item = dir.GetItem(i);
    Placed p{.entry = {.index = i, .old_index = -1},
             .position = kAfterOldRecords,
             .unchanged_record = !WritesNewData(item) && !Renamed(item)};
    if (!WritesNewData(item)) {
      p.entry.old_index = old_records.At(item.LocalHeaderOffset());
      // Its data can only come from the old archive, and it is not there.
      if (p.entry.old_index < 0) throw ArchiveError(ErrorSite::kRollbackIndex);
      if (p.unchanged_record) stays[static_cast<std::size_t>(p.entry.old_index)] = true;
    } else if (const auto replaced = OldRecordOffset(item)) {
      p.entry.old_index = old_records.At(*replaced);
    }
    if (p.entry.old_index >= 0) p.position = old_dir.GetItem(p.entry.old_index).LocalHeaderOffset();
    placed.push_back(p);
  }

  CommitPlan plan;
  for (std::int32_t j = 0; j < old_dir.Count(); ++j) {
    if (stays[static_cast<std::size_t>(j)]) continue;
    const std::uint64_t offset = old_dir.GetItem(j).LocalHeaderOffset();
    plan.cut = plan.appends ? offset : std::min(plan.cut, offset);
    plan.appends = false;
  }
  // Below the cut every record stays; from it on, the old file's order, then the new entries.
  const auto below_cut = [&](const Placed& p) {
    return p.position != kAfterOldRecords && (plan.appends || p.position < plan.cut);
  };
  std::erase_if(placed, [&](const Placed& p) { return p.unchanged_record && below_cut(p); });
  // A record that changes is written whatever its old place (below the cut only when two
  // entries shared one old record, which then also stays for the other).
  for (Placed& p : placed) {
    if (below_cut(p)) p.position = kAfterOldRecords;
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.position < b.position; });
  plan.entries.reserve(placed.size());
  for (const Placed& p : placed) plan.entries.push_back(p.entry);
  return plan;
}

std::vector<PlannedEntry> EveryEntryInOrder(const DirArray& dir) {
  std::vector<PlannedEntry> entries(static_cast<std::size_t>(dir.Count()));
  for (std::int32_t i = 0; i < dir.Count(); ++i) entries[static_cast<std::size_t>(i)].index = i;
  return entries;
}

}  // namespace qm::archive
