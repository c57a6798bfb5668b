#pragma once

#include <string>

#include "archive/zip_archiver.h"

namespace qm::fuzz {

// Answers every event without a prompt: failures are ignored, a password is asked once and
// then skipped, so a run never waits for a terminal.
inline void MakeQuiet(archive::ZipArchiver& archiver) {
  using archive::Action;
  using archive::BaseArchiver;
  using archive::ProcessOperation;
  archiver.OnProcessFileFailure = [](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                     int, const std::u16string&,
                                     Action& action) { action = Action::fxaIgnore; };
  archiver.OnPassword = [asked = false](BaseArchiver&, const std::u16string&, std::string& password,
                                        bool& skip) mutable {
    skip = asked;
    asked = true;
    password = "secret";
  };
  archiver.OnConfirmOverwrite = [](BaseArchiver&, const std::u16string&, std::u16string&,
                                   bool& confirm) { confirm = true; };
  archiver.OnDiskFull = [](BaseArchiver&, int, const std::u16string&, bool& cancel) {
    cancel = true;
  };
}

}  // namespace qm::fuzz
