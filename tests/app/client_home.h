#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "java_client.h"
#include "support/temp_dir.h"

namespace qm::testing {

// A user's home for the duration of a test: $HOME points at a fresh folder, where the game's
// client may be installed unpacked.
class ClientHome {
 public:
  ClientHome() {
    if (const char* home = std::getenv("HOME")) saved_ = home;
    setenv("HOME", dir_.path().c_str(), 1);
  }
  ~ClientHome() { setenv("HOME", saved_.c_str(), 1); }

  std::filesystem::path bin() const { return dir_ / ".quillmark/bin"; }
  std::filesystem::path client() const { return bin() / "quillmark.jar"; }

  // The client as it looks after unpacking: quillmark.jar is a folder of classes.
  std::filesystem::path InstallUnpacked(const std::string& player_name) {
    return CompileAppletClass(client(), player_name);
  }

 private:
  TempDir dir_;
  std::string saved_;
};

}  // namespace qm::testing
