// libFuzzer target for the player-name record: any bytes as the applet class file, read; a
// name made from the same bytes written in and read back must come out as written (cut to
// what the record holds).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/player_name.h"
#include "memory_platform.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::fuzz::MemoryPlatform files;
  qm::platform::ScopedPlatform scoped(files);
  const std::u16string path = u"/work/QuillmarkApplet.class";
  files.PutFile(path, std::vector<std::uint8_t>(data, data + size));
  try {
    qm::app::PlayerNameRecord record;
    static_cast<void>(qm::app::ReadPlayerName(path, record));
    if (record.name_offset == 0) return 0;
    const std::size_t take = std::min<std::size_t>(size, 40);
    const std::u16string name =
        qm::app::DecodePlayerName(std::string_view(reinterpret_cast<const char*>(data), take));
    qm::app::WritePlayerName(path, name, record);
    qm::app::PlayerNameRecord again;
    const std::u16string read_back = qm::app::ReadPlayerName(path, again);
    const std::string stored = qm::app::EncodePlayerName(name);
    // A name that holds the marker, or ends with the start of it that the following bytes
    // complete, makes a record of its own after the one written, and that one then wins.
    if (again.name_offset != record.name_offset) return 0;
    if (read_back != qm::app::DecodePlayerName(stored)) std::abort();
  } catch (const std::exception&) {
    // A file the record cannot be read from is refused, not crashed on.
  }
  return 0;
}
