#include "archive/data/read/decipher_stage.h"

namespace qm::archive {

bool OpenWithPassword(ItemDecipher& decipher, platform::Stream& archive, std::string password,
                      ItemDataEvents& events) {
  const std::int64_t header = archive.Position();
  for (;;) {
    archive.SetPosition(header);
    if (decipher.CheckPassword(archive, password)) return true;
    if (!events.AskPassword(password)) return false;
  }
}

}  // namespace qm::archive
