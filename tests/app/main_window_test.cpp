#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPainter>
#include <filesystem>

#include "app/startup.h"
#include "client_home.h"
#include "label/shadow_label.h"
#include "label/system_colors.h"
#include "qt_app.h"
#include "support/bmp_file.h"
#include "support/shadow_fit.h"

namespace qm::app {
namespace {

QApplication& App() {
  return testing::QtApp();
}

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
  EXPECT_EQ(window.ShadowLabel1()->Caption(), "DrexoValmin");
  // Sized to its text with room for the shadow, from its designed corner.
  EXPECT_EQ(window.ShadowLabel1()->pos(), QPoint(72, 35));
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

int Lightness(QRgb pixel) {
  return qRed(pixel) + qGreen(pixel) + qBlue(pixel);
}

// The rendering a user sees: white text over a dark blurred shadow on the window's face. The
// picture is saved beside the test's other temporary files for a look by eye.
TEST(MainWindow, RendersTheLabelAsWhiteTextOverADarkShadow) {
  App();
  MainWindow window;
  if (window.logicalDpiX() != 96) GTEST_SKIP() << "screen is not at 96 dpi";
  const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(image.save(QString::fromStdString(::testing::TempDir()) + "main_window.png", "PNG"));
  const QRgb background = window.palette().color(QPalette::Button).rgb();
  EXPECT_EQ(image.pixel(3, 45), background);

  // Where the text lies: the caption drawn white on black at the label's inset text rectangle.
  const label::ShadowLabel& label = *window.ShadowLabel1();
  const QRect text_rect =
      label.geometry().adjusted(-label.OffsTopLeft(), -label.OffsTopLeft(),
                                -label.OffsRightBottom(), -label.OffsRightBottom());
  QImage mask(image.size(), QImage::Format_RGB32);
  mask.fill(Qt::black);
  {
    QPainter painter(&mask);
    painter.setFont(window.font());
    painter.setPen(Qt::white);
    painter.drawText(text_rect,
                     Qt::TextExpandTabs | Qt::TextShowMnemonic | Qt::AlignTop | Qt::AlignLeft,
                     label.Caption());
  }
  const auto covered = [&](int x, int y) { return qBlue(mask.pixel(x, y)); };
  int text_pixels = 0, shadow_pixels = 0;
  for (int y = 0; y + 1 < image.height(); ++y) {
    for (int x = 0; x + 1 < image.width(); ++x) {
      if (covered(x, y) != 255) continue;
      ++text_pixels;
      EXPECT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
      if (covered(x + 1, y + 1) == 0) {
        ++shadow_pixels;
        EXPECT_LT(Lightness(image.pixel(x + 1, y + 1)), Lightness(background)) << x << "," << y;
      }
    }
  }
  EXPECT_GE(text_pixels, 20);
  EXPECT_GE(shadow_pixels, 10);

  // The same reading as the Windows window test's: the shift of the text that best explains
  // the shadow around it.
  const auto to_bitmap = [](const QImage& picture) {
    label::Bitmap32 bitmap(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb pixel = picture.pixel(x, y);
        std::uint8_t* target = bitmap.Pixel(x, y);
        target[label::Bitmap32::kRed] = static_cast<std::uint8_t>(qRed(pixel));
        target[label::Bitmap32::kGreen] = static_cast<std::uint8_t>(qGreen(pixel));
        target[label::Bitmap32::kBlue] = static_cast<std::uint8_t>(qBlue(pixel));
      }
    }
    return bitmap;
  };
  const label::Bitmap32 shot = to_bitmap(image);
  testing::WriteBmp(std::filesystem::path(QM_SCREENSHOT_DIR) / "linux-window.bmp", shot);
  const QRect area = label.geometry();
  const testing::ShadowFit fit = testing::FitShadowOffset(
      shot, to_bitmap(mask),
      {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()},
      label::SplitColor(label::FromQColor(QColor(background))), label.Shadow().BlurCount());
  EXPECT_EQ(fit.dx, 1);
  EXPECT_EQ(fit.dy, 1);
}

}  // namespace
}  // namespace qm::app
