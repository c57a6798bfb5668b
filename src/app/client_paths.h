#pragma once

#include <cstdint>
#include <string>

namespace qm::app {

// The shell folder id of the roaming application-data folder.
inline constexpr std::int16_t kAppDataFolderId = 26;

// The path of a shell special folder without a trailing separator; empty when the system
// cannot name it. Only the application-data folder is known here.
std::u16string SpecialFolderPath(std::int16_t folder_id);

// The client's files below the application-data folder.
struct ClientPaths {
  std::u16string client_archive;   // .quillmark/bin/quillmark.jar: a file, then a folder
  std::u16string working_archive;  // .quillmark/bin/quillmark.zip, only while unpacking
  std::u16string applet_class;     // the class file that holds the player name

  // Built afresh from the folder each time: the folder may change between the two handlers.
  static ClientPaths Locate();
};

}  // namespace qm::app
