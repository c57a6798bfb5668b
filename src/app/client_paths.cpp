#include "app/client_paths.h"

#include "platform/platform.h"

namespace qm::app {

std::u16string SpecialFolderPath(std::int16_t folder_id) {
  if (folder_id != kAppDataFolderId) return {};
  return platform::Platform::Current().AppDataFolder();
}

ClientPaths ClientPaths::Locate() {
  const std::u16string sep(1, platform::kPathSeparator);
  const std::u16string bin =
      SpecialFolderPath(kAppDataFolderId) + sep + u".quillmark" + sep + u"bin" + sep;
  ClientPaths paths;
  paths.client_archive = bin + u"quillmark.jar";
  paths.working_archive = bin + u"quillmark.zip";
  paths.applet_class = paths.client_archive + sep + u"net" + sep + u"quillmark" + sep + u"client" +
                       sep + u"QuillmarkApplet.class";
  return paths;
}

}  // namespace qm::app
