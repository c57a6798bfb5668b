#pragma once

#include <string>

#include "app/player_name.h"
#include "archive/zip_archiver.h"

namespace qm::app {

// What the main window does in its two handlers, without the window: testable without a
// display. Failures are exceptions; the window shows them.
class NameChanger {
 public:
  NameChanger();

  // On creation: unpacks the client on first use, then reads the player name.
  std::u16string FormCreate();
  // On close: writes `name` back. An exception keeps the window open.
  void FormClose(const std::u16string& name);

  const PlayerNameRecord& Record() const { return record_; }
  archive::ZipArchiver& Archiver1() { return archiver1_; }

 private:
  archive::ZipArchiver archiver1_;
  PlayerNameRecord record_;
};

}  // namespace qm::app
