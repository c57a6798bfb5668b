// qmzip on split sets: any volume of a set names the whole set.
#include <gtest/gtest.h>

#include <random>

#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

const std::string kQmzip = QMZIP_PATH;

CommandResult Qmzip(const ScratchDir& dir, const std::string& args) {
  return RunShell("'" + kQmzip + "' " + args + " < /dev/null", dir.path());
}

TEST(QmzipVolumes, ListTestAndExtractWorkOnAnyVolumeOfASet) {
  ScratchDir dir;
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) {
    std::string content;
    for (int n = 0; n < 1000 + i * 37; ++n) content += std::to_string(random() % 100000) + ",";
    dir.Write("tree/f" + std::to_string(i) + ".txt", content);
  }
  MustRun("zip -q -r -s 64k set.zip tree && test -f set.z02", dir.path());
  for (const char* volume : {"set.zip", "set.z01", "set.z02"}) {
    SCOPED_TRACE(volume);
    const CommandResult list = Qmzip(dir, std::string("list ") + volume);
    EXPECT_EQ(list.exit_code, 0) << list.output;
    EXPECT_NE(list.output.find("41 files"), std::string::npos) << list.output;
    const CommandResult test = Qmzip(dir, std::string("test ") + volume);
    EXPECT_EQ(test.exit_code, 0) << test.output;
    EXPECT_EQ(test.output, "Tested 41 of 41 items\n");
  }
  const CommandResult extract = Qmzip(dir, "extract set.z02 -d out");
  EXPECT_EQ(extract.exit_code, 0) << extract.output;
  MustRun("diff -r tree out/tree", dir.path());
}

}  // namespace
}  // namespace qm::archive::testing
