#include "volume_fixtures.h"

#include <random>
#include <string>

#include "fixture_tools.h"

namespace qm::archive::testing {

std::size_t MakeVolumeTree(const std::filesystem::path& root) {
  constexpr std::size_t kFiles = 2000;
  std::mt19937 random(13);
  for (std::size_t i = 0; i < kFiles; ++i) {
    const auto folder = root / ("d" + std::to_string(i % 7)) / ("s" + std::to_string(i % 3));
    std::filesystem::create_directories(folder);
    const std::size_t size = i % 50 == 0 ? 0 : random() % 3000;
    std::string content;
    content.reserve(size);
    const bool text = i % 2 == 0;
    while (content.size() < size) {
      if (text) {
        content +=
            "line " + std::to_string(content.size()) + " of file " + std::to_string(i) + "\n";
      } else {
        content.push_back(static_cast<char>(random()));
      }
    }
    content.resize(size);
    WriteFile(folder / ("f" + std::to_string(i) + (text ? ".txt" : ".bin")), content);
  }
  return kFiles;
}

}  // namespace qm::archive::testing
