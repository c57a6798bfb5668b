// Faults of the engine that are known and being mended. The generator keeps away from what
// provokes each of them unless its switch is on, so that the fixed run stays a guard for
// everything else; the campaign switches them all on.
#pragma once

#include <string>
#include <string_view>

namespace qm::archive::model {

struct Hazards {
  // Directories whose order differs from the records' order in the file: merges that replace
  // an entry, fixtures with a reordered central directory. A commit must carry every record
  // at or after the lowest position that moves.
  bool directory_order_unlike_file_order = false;
  // Two entries with the same name: old records must be found by identity, not by name.
  bool duplicate_names = false;
  // Adding or merging a name that differs from an entry's only in letter case: a separate
  // entry where the platform's names are case-sensitive.
  bool case_variants = false;
  // Further commits on the component that committed a MoveFiles.
  bool commit_after_move = false;
  // A replacement made by MoveFiles whose source fails and is ignored.
  bool ignored_moved_replacement = false;
  // An entry added twice in one transaction whose source fails and is ignored.
  bool ignored_twice_added = false;
  // Renaming to a name longer than a ZIP record can hold.
  bool overlong_rename = false;

  static Hazards All();
  // A comma-separated list of the names below, or "all"; unknown names are reported.
  static bool Parse(std::string_view list, Hazards& hazards, std::string& error);
  std::string Names() const;
};

}  // namespace qm::archive::model
