#include "app/name_changer.h"

#include <gtest/gtest.h>

#include "client_home.h"
#include "platform/stream_errors.h"

namespace qm::app {
namespace {

TEST(NameChanger, ShowsTheNameOfAnUnpackedClientAndWritesTheEditedOne) {
  testing::ClientHome home;
  home.InstallUnpacked("DrexoValmin");
  NameChanger changer;
  EXPECT_EQ(changer.FormCreate(), u"DrexoValmin");
  changer.FormClose(u"NewName");
  EXPECT_EQ(testing::RunApplet(home.client()), "NewName");

  NameChanger next_start;
  EXPECT_EQ(next_start.FormCreate(), u"NewName");
}

TEST(NameChanger, WithoutAClientCreationFailsWithTheOpenErrorAndClosingWritesNothing) {
  testing::ClientHome home;
  NameChanger changer;
  try {
    changer.FormCreate();
    FAIL() << "found a client that is not there";
  } catch (const platform::FileOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(
                  (home.client() / "net/quillmark/client/QuillmarkApplet.class").string()),
              std::string::npos);
  }
  EXPECT_NO_THROW(changer.FormClose(u"anything"));
  EXPECT_FALSE(std::filesystem::exists(home.bin()));
}

}  // namespace
}  // namespace qm::app
