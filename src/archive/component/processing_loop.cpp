// The per-item processing loop: tags the items an operation works on and runs its step on each,
// counting what the steps return and offering their archive errors to the failure event
// (retry, ignore, abort). Extraction, testing and deletion run through it; adding and updating
// join as steps of their own.
#include <mutex>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/processing_run.h"
#include "archive/component/scoped_value.h"
#include "archive/data/read/item_lookahead.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "platform/archive_lock.h"
#include "platform/platform.h"

namespace qm::archive {
namespace {

std::int32_t CountTagged(const DirArray& dir) {
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    if (dir.GetItem(i).Tagged) ++count;
  }
  return count;
}

}  // namespace

using platform::Platform;

void BaseArchiver::TagItems() {
  DirArray& dir = dir_manager_->CDir;
  dir.ClearTags();
  ArchiveItem f;
  for (bool found = FindFirst(f); found; found = FindNext(f)) {
    dir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
  }
}

void BaseArchiver::TagItems(const std::u16string& file_mask, std::int32_t search_attr,
                            const std::u16string& exclusion_mask) {
  DirArray& dir = dir_manager_->CDir;
  dir.ClearTags();
  ArchiveItem f;
  for (bool found = FindFirst(file_mask, f, search_attr, exclusion_mask); found;
       found = FindNext(f)) {
    dir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
  }
}

void BaseArchiver::ProcessTaggedItems(ProcessOperation operation, std::int32_t index) {
  std::lock_guard<std::recursive_mutex> lock(platform::ArchiveLock());
  DirArray& dir = dir_manager_->CDir;
  processed_file_no_ = 0;
  // Reset in place: a run started from an event of another keeps the object the outer one
  // refers to.
  *run_ = ProcessingRun{};
  progress_cancel_ = false;
  progress_enabled_ = true;
  processed_file_count_ = index == -1 ? CountTagged(dir) : 1;
  const bool reports =
      operation == ProcessOperation::poExtract || operation == ProcessOperation::poTest;
  if (reports) DoOverallProgress(0, operation, ProgressPhase::ppStart, progress_cancel_);

  // Ended with the loop, whichever way it ends; the worker stops with it.
  const std::unique_ptr<ItemLookahead> lookahead = MakeLookahead(operation, index);
  const ScopedValue<ItemLookahead*> reading_ahead(run_->lookahead, lookahead.get());
  bool aborted = false;
  for (std::int32_t i = index == -1 ? 0 : index;
       !progress_cancel_ && !aborted && i >= 0 && i < dir.Count();) {
    bool removed = false;
    if (dir.GetItem(i).Tagged) {
      aborted = ProcessTaggedItem(operation, i, reports, removed) == Action::fxaAbort;
    }
    if (index != -1) break;
    if (!removed) ++i;
  }

  if (reports) {
    // The end event's answer cannot undo the run; the cancel flag keeps telling what happened.
    bool ignored = false;
    DoOverallProgress(100, operation, ProgressPhase::ppEnd, ignored);
  }
  run_->destination_folder.reset();  // no folder stays held open between runs
  loop_file_no_ = processed_file_no_;
  loop_file_count_ = processed_file_count_;
  if (progress_cancel_ || aborted) CancelUpdate();
}

Action BaseArchiver::ProcessTaggedItem(ProcessOperation operation, std::int32_t i, bool reports,
                                       bool& removed) {
  DirArray& dir = dir_manager_->CDir;
  // The item carries the operation while its step runs. A step that leaves the item as it
  // was (declined, kept, failed and ignored) gives it back its own mark: an update that did
  // not happen must not turn a rename or an attribute change made earlier in the
  // transaction, or a pending move, into a rewrite from a source the entry does not have.
  const ProcessOperation own_mark = dir.GetItem(i).Operation;
  bool completed = false;
  dir.ItemPtr(i)->Operation = operation;
  Action action = Action::fxaIgnore;
  do {
    action = Action::fxaIgnore;
    const std::u16string stored_name = dir.GetItem(i).Name;
    const std::u16string name = ForCallers(stored_name);
    try {
      bool confirm = true;
      DoConfirmProcessFile(name, operation, confirm);
      if (!confirm) {
        ++run_->kept_file_count;
        break;
      }
      if (current_dir_.empty()) current_dir_ = Platform::Current().CurrentDirectory();
      const std::u16string base_dir = BaseFolder(base_dir_, current_dir_);
      if (reports) {
        DoFileProgress(stored_name, 0, operation, ProgressPhase::ppStart, progress_cancel_);
        if (progress_cancel_) break;
      }
      const std::int32_t count_before = dir.Count();
      const ItemOutcome outcome = RunItemStep(operation, i, name, base_dir);
      removed = dir.Count() < count_before;
      if (reports) {
        DoFileProgress(stored_name, 100, operation, ProgressPhase::ppEnd, progress_cancel_);
      }
      if (!progress_cancel_) {
        ++processed_file_no_;
        completed = outcome == ItemOutcome::kCompleted;
        if (completed) ++run_->completed_file_count;
        if (outcome == ItemOutcome::kKept) ++run_->kept_file_count;
      }
    } catch (const ArchiveError& e) {
      DoProcessFileFailure(name, operation, e.NativeError(), e.ErrorCode(), e.Message(), action);
    }
  } while (action == Action::fxaRetry);
  if (!completed && !removed && i < dir.Count()) dir.ItemPtr(i)->Operation = own_mark;
  return action;
}

BaseArchiver::ItemOutcome BaseArchiver::RunItemStep(ProcessOperation operation, std::int32_t index,
                                                    const std::u16string& name,
                                                    const std::u16string& base_dir) {
  switch (operation) {
    case ProcessOperation::poDelete:
      return DeleteItemAt(index);
    case ProcessOperation::poUpdate:
      return UpdateItemIfNeeded(index, name, base_dir);
    case ProcessOperation::poExtract:
      return ExtractItemToFile(index, name, base_dir);
    case ProcessOperation::poTest:
      return TestItem(index, name);
    default:
      return ItemOutcome::kSkipped;
  }
}

BaseArchiver::ItemOutcome BaseArchiver::DeleteItemAt(std::int32_t index) {
  DirArray& dir = dir_manager_->CDir;
  if (index < 0 || index >= dir.Count())
    throw ArchiveError(ErrorSite::kUpdateIndex, ComponentName());
  if (!InUpdate()) throw ArchiveError(ErrorSite::kUpdateNotStartedOnItem, ComponentName());
  dir.DeleteItem(index);
  return ItemOutcome::kCompleted;
}

}  // namespace qm::archive
