#include "app/name_changer.h"

#include "app/client_paths.h"
#include "app/first_run_unpacking.h"

namespace qm::app {

NameChanger::NameChanger() {
  ConfigureArchiver1(archiver1_);
}

std::u16string NameChanger::FormCreate() {
  UnpackClientOnFirstRun(archiver1_);
  return ReadPlayerName(ClientPaths::Locate().applet_class, record_);
}

void NameChanger::FormClose(const std::u16string& name) {
  WritePlayerName(ClientPaths::Locate().applet_class, name, record_);
}

}  // namespace qm::app
