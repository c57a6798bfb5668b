#include "model/hazards.h"

#include <utility>

namespace qm::archive::model {
namespace {

struct Switch {
  const char* name;
  bool Hazards::*flag;
};

constexpr Switch kSwitches[] = {
    {"directory_order", &Hazards::directory_order_unlike_file_order},
    {"duplicate_names", &Hazards::duplicate_names},
    {"case_variants", &Hazards::case_variants},
    {"commit_after_move", &Hazards::commit_after_move},
    {"ignored_moved_replacement", &Hazards::ignored_moved_replacement},
    {"ignored_twice_added", &Hazards::ignored_twice_added},
    {"overlong_rename", &Hazards::overlong_rename},
};

}  // namespace

Hazards Hazards::All() {
  Hazards all;
  for (const Switch& s : kSwitches) all.*s.flag = true;
  return all;
}

bool Hazards::Parse(std::string_view list, Hazards& hazards, std::string& error) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    if (name.empty()) continue;
    if (name == "all") {
      hazards = All();
      continue;
    }
    bool known = false;
    for (const Switch& s : kSwitches) {
      if (name == s.name) {
        hazards.*s.flag = true;
        known = true;
      }
    }
    if (!known) {
      error = "unknown hazard '" + std::string(name) + "'";
      return false;
    }
  }
  return true;
}

std::string Hazards::Names() const {
  std::string names;
  for (const Switch& s : kSwitches) {
    if (this->*s.flag) names += (names.empty() ? "" : ",") + std::string(s.name);
  }
  return names.empty() ? "none" : names;
}

}  // namespace qm::archive::model
