#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/startup.h"
#include "client_home.h"
#include "qt_app.h"

namespace qm::app {
namespace {

QApplication& App() { return testing::QtApp(); }

struct Shown {
  std::vector<std::u16string> messages;
  void Attach(MainWindow& window) {
    window.ShowError = [this](std::exception_ptr e) {
      messages.push_back(ExceptionDisplayText(e));
    };
  }
};

TEST(MainWindow, HasTheDesignedLayoutAtNinetySixDpi) {
  App();
  MainWindow window;
  if (window.logicalDpiX() != 96) GTEST_SKIP() << "screen is not at 96 dpi";
  EXPECT_EQ(window.windowTitle(), "QuillMark Name Changer");
  EXPECT_EQ(window.size(), QSize(219, 52));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.Edit1()->geometry(), QRect(8, 8, 201, 21));
  EXPECT_EQ(window.ShadowLabel1()->geometry(), QRect(72, 35, 74, 21));
  EXPECT_EQ(window.ShadowLabel1()->text(), "DrexoValmin");
  EXPECT_EQ(window.font().pixelSize(), 11);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window.focusWidget(), window.Edit1());
}

TEST(MainWindow, ShowsTheClientsNameAndSavesTheEditOnClose) {
  App();
  testing::ClientHome home;
  home.InstallUnpacked("DrexoValmin");
  MainWindow window;
  Shown shown;
  shown.Attach(window);
  window.FormCreate();
  EXPECT_EQ(window.Edit1()->text(), "DrexoValmin");
  window.Edit1()->setText("Edited");
  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(shown.messages.empty());
  EXPECT_EQ(testing::RunApplet(home.client()), "Edited");
}

TEST(MainWindow, WithoutAClientShowsTheOpenErrorOpensEmptyAndClosesNormally) {
  App();
  testing::ClientHome home;
  MainWindow window;
  Shown shown;
  shown.Attach(window);
  window.FormCreate();
  ASSERT_EQ(shown.messages.size(), 1u);
  EXPECT_TRUE(shown.messages[0].starts_with(u"Cannot open file \""));
  EXPECT_TRUE(window.Edit1()->text().isEmpty());
  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(shown.messages.size(), 1u);
}

TEST(MainWindow, AFailedSaveKeepsTheWindowOpen) {
  App();
  testing::ClientHome home;
  const auto class_file = home.InstallUnpacked("DrexoValmin");
  MainWindow window;
  Shown shown;
  shown.Attach(window);
  window.FormCreate();
  std::filesystem::permissions(class_file, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  window.show();
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(shown.messages.size(), 1u);
  EXPECT_TRUE(shown.messages[0].starts_with(u"Cannot open file \""));
  std::filesystem::permissions(class_file, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_TRUE(window.close());
}

}  // namespace
}  // namespace qm::app
