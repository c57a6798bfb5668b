#include "label/shadow_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "label/system_colors.h"

namespace qm::label {
namespace {

// One application for the whole run, torn down by the test framework before static
// destructors run: Qt's own statics (the input device registry) must outlive it.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[12] = "label_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// The framework owns registered environments.
[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QFont WindowFont() {
  QFont font(QStringLiteral("Tahoma"));
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setPixelSize(11);  // Qt substitutes a face where Tahoma is missing; the height stays
  return font;
}

// A window-sized parent painted in the button-face colour, the way the main window is.
class LabelHost : public QWidget {
 public:
  LabelHost() {
    resize(219, 52);
    setFont(WindowFont());
    QPalette face = palette();
    face.setColor(QPalette::Window, palette().color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);
  }
  QColor Background() const { return palette().color(QPalette::Window); }
  QImage Render() { return grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

constexpr int kPlainFlags = Qt::TextExpandTabs | Qt::TextShowMnemonic;

QSize TextExtent(const QString& text, const QFont& font = WindowFont()) {
  return QFontMetrics(font).boundingRect(QRect(), kPlainFlags, text).size();
}

int Lightness(QRgb pixel) {
  return qRed(pixel) + qGreen(pixel) + qBlue(pixel);
}

class ShadowLabelTest : public ::testing::Test {
 protected:
  // Parent-owned, as a window's labels are.
  ShadowLabel* AddLabel(const QString& caption) {
    auto* label = new ShadowLabel(&host_);
    label->setGeometry(72, 35, 74, 21);
    label->SetCaption(caption);
    return label;
  }

  // Every pixel of the label's area no darker than the background: there is no shadow.
  void ExpectNoShadow(const ShadowLabel& label) {
    const QImage image = host_.Render();
    const int background = Lightness(host_.Background().rgb());
    const QRect area = label.geometry() & host_.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        ASSERT_GE(Lightness(image.pixel(x, y)), background) << x << "," << y;
      }
    }
  }

  LabelHost host_;
};

TEST_F(ShadowLabelTest, DefaultsSizeToTheTextPlusEightWithOffsetsForTheBlur) {
  const ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
  EXPECT_EQ(label->OffsTopLeft(), -3);
  EXPECT_EQ(label->OffsRightBottom(), 5);
  EXPECT_EQ(label->pos(), QPoint(72, 35));
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")) + QSize(8, 8));
  EXPECT_EQ(label->Shadow().Mode(), LabelShadowMode::smSkin1);
  EXPECT_EQ(label->Kind().KindType(), LabelKindType::ktSkin);
  EXPECT_TRUE(label->Transparent());
  EXPECT_TRUE(label->AutoSize());
}

TEST_F(ShadowLabelTest, NoBlurOrNoColourGivesTheBareExtentAndNoShadow) {
  struct Case {
    const char* name;
    int blur_count;
    ColorValue color;
  };
  for (const Case& c : {Case{"blur count 0", 0, kClBlack}, Case{"no colour", 4, kClNone}}) {
    SCOPED_TRACE(c.name);
    ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
    label->Shadow().SetBlurCount(c.blur_count);
    label->Shadow().SetColor(c.color);
    EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")));
    ExpectNoShadow(*label);
    delete label;
  }
}

TEST_F(ShadowLabelTest, DistanceBeyondTheBlurGrowsOnlyRightAndBottom) {
  ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
  label->Shadow().SetDistance(6);
  label->Shadow().SetBlurCount(2);
  EXPECT_EQ(label->OffsTopLeft(), 0);
  EXPECT_EQ(label->OffsRightBottom(), 8);
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")) + QSize(8, 8));
}

TEST_F(ShadowLabelTest, AbsurdShadowSettingsKeepTheLabelBoundedAndPaintable) {
  ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
  label->Shadow().SetBlurCount(std::numeric_limits<int>::max());
  label->Shadow().SetDistance(std::numeric_limits<int>::min());
  EXPECT_EQ(label->OffsTopLeft(), -kMaxShadowOffset);
  EXPECT_EQ(label->OffsRightBottom(), 0);
  EXPECT_EQ(label->size(),
            TextExtent(QStringLiteral("DrexoValmin")) + QSize(kMaxShadowOffset, kMaxShadowOffset));
  EXPECT_FALSE(host_.Render().isNull());
}

TEST_F(ShadowLabelTest, EmptyCaptionAndLoneAmpersandMeasureWithAnAppendedBlank) {
  ShadowLabel* label = AddLabel(QString());
  label->AdjustBounds();  // the caption never changed, so nothing measured after the move
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral(" ")) + QSize(8, 8));
  label->SetCaption(QStringLiteral("&"));
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("& ")) + QSize(8, 8));
}

TEST_F(ShadowLabelTest, FontChangeAndCaptionChangeMeasureAgain) {
  ShadowLabel* label = AddLabel(QStringLiteral("Drexo"));
  label->SetCaption(QStringLiteral("DrexoValmin"));
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")) + QSize(8, 8));
  QFont bigger = WindowFont();
  bigger.setPixelSize(22);
  host_.setFont(bigger);
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin"), bigger) + QSize(8, 8));
}

TEST_F(ShadowLabelTest, RightAlignedLabelKeepsItsRightEdgeWhenItResizes) {
  ShadowLabel* label = AddLabel(QStringLiteral("Drexo"));
  label->SetAlignment(Alignment::taRightJustify);
  const int right = label->geometry().right();
  label->SetCaption(QStringLiteral("DrexoValmin"));
  EXPECT_EQ(label->geometry().right(), right);
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")) + QSize(8, 8));
}

// The label's area as a plain text drawing over the background would leave it.
QImage ReferenceDrawing(LabelHost& host, const QRect& area, const QString& text,
                        const std::initializer_list<std::pair<QPoint, QColor>>& layers) {
  QImage image(host.size(), QImage::Format_RGB32);
  image.fill(host.Background());
  QPainter painter(&image);
  painter.setFont(WindowFont());
  for (const auto& [offset, color] : layers) {
    painter.setPen(color);
    painter.drawText(area.translated(offset), kPlainFlags | Qt::AlignTop | Qt::AlignLeft, text);
  }
  return image;
}

void ExpectSamePixels(const QImage& actual, const QImage& expected, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      ASSERT_EQ(actual.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
    }
  }
}

TEST_F(ShadowLabelTest, ModeNoneDrawsLikeAPlainTransparentLabel) {
  ShadowLabel* label = AddLabel(QString());
  label->Shadow().SetMode(LabelShadowMode::smNone);
  label->SetCaption(QStringLiteral("DrexoValmin"));
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")));
  const QRect area = label->geometry() & host_.rect();
  const QImage expected =
      ReferenceDrawing(host_, label->geometry(), QStringLiteral("DrexoValmin"),
                       {{QPoint(0, 0), host_.palette().color(QPalette::WindowText)}});
  ExpectSamePixels(host_.Render(), expected, area);
}

TEST_F(ShadowLabelTest, DisabledLabelDrawsEmbossedTextWithoutShadowAtTheBareExtent) {
  ShadowLabel* label = new ShadowLabel(&host_);
  label->setGeometry(72, 35, 74, 21);
  label->setEnabled(false);
  label->SetCaption(QStringLiteral("DrexoValmin"));
  EXPECT_EQ(label->size(), TextExtent(QStringLiteral("DrexoValmin")));
  const QColor highlight = ToQColor(SystemColorFromPalette(label->palette(), kColorBtnHighlight));
  const QColor shadow = ToQColor(SystemColorFromPalette(label->palette(), kColorBtnShadow));
  ASSERT_NE(highlight, shadow);
  // The raised copy is clipped to the label, as the label's painting is.
  QImage expected(host_.size(), QImage::Format_RGB32);
  {
    expected.fill(host_.Background());
    QPainter painter(&expected);
    painter.setClipRect(label->geometry());
    painter.setFont(WindowFont());
    const int flags = kPlainFlags | Qt::AlignTop | Qt::AlignLeft;
    painter.setPen(highlight);
    painter.drawText(label->geometry().translated(1, 1), flags, QStringLiteral("DrexoValmin"));
    painter.setPen(shadow);
    painter.drawText(label->geometry(), flags, QStringLiteral("DrexoValmin"));
  }
  ExpectSamePixels(host_.Render(), expected, label->geometry() & host_.rect());
}

TEST_F(ShadowLabelTest, ShadowIsBlendedOverTheBackgroundOrOverTheLabelColour) {
  ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
  const QPoint corner = label->pos();  // far enough up and left that no blur reaches it
  const QColor background = host_.Background();
  QRgb pixel = host_.Render().pixel(corner);
  EXPECT_EQ(pixel, qRgb(background.red() * 255 >> 8, background.green() * 255 >> 8,
                        background.blue() * 255 >> 8));

  label->SetTransparent(false);
  label->SetColor(RgbColor(200, 100, 50));
  pixel = host_.Render().pixel(corner);
  EXPECT_EQ(pixel, qRgb(200 * 255 >> 8, 100 * 255 >> 8, 50 * 255 >> 8));
}

int CountPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& match) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += match(image.pixel(x, y)) ? 1 : 0;
  }
  return count;
}

TEST_F(ShadowLabelTest, TextColourFollowsTheKindAndShadowColourTheShadow) {
  // The standard kind takes the font colour: text in the background colour would vanish.
  const QRgb font_colour = qRgb(0, 160, 0);
  QPalette green_text = host_.palette();
  green_text.setColor(QPalette::WindowText, font_colour);
  host_.setPalette(green_text);
  struct Case {
    LabelKindType kind_type;
    QRgb expected;
  };
  for (const Case& c : {Case{LabelKindType::ktCustom, qRgb(255, 0, 0)},
                        Case{LabelKindType::ktSkin, qRgb(255, 0, 0)},
                        Case{LabelKindType::ktStandard, font_colour}}) {
    ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
    label->Kind().SetKindType(c.kind_type);
    label->Kind().SetColor(RgbColor(255, 0, 0));
    label->Shadow().SetMode(LabelShadowMode::smCustom);
    label->Shadow().SetColor(RgbColor(0, 0, 255));
    const QImage image = host_.Render();
    const QRect area = label->geometry() & host_.rect();
    EXPECT_GT(CountPixels(image, area, [&](QRgb p) { return p == c.expected; }), 20)
        << static_cast<int>(c.kind_type);
    EXPECT_GT(
        CountPixels(image, area,
                    [](QRgb p) { return qBlue(p) > qRed(p) + 40 && qBlue(p) > qGreen(p) + 40; }),
        20);
    delete label;
  }
}

TEST_F(ShadowLabelTest, LayoutMovesTheTextDownByTheSpareHeight) {
  const auto first_text_row = [this](TextLayout layout) {
    auto label = std::make_unique<ShadowLabel>(&host_);
    label->SetCaption(QStringLiteral("DrexoValmin"));
    label->SetAutoSize(false);
    label->setGeometry(10, 0, 150, 40);
    label->SetLayout(layout);
    const QImage image = host_.Render();
    for (int y = 0; y < 40; ++y) {
      if (CountPixels(image, QRect(10, y, 150, 1),
                      [](QRgb p) { return p == qRgb(255, 255, 255); }) > 0) {
        return y;
      }
    }
    return -1;
  };
  const int spare = 40 - (TextExtent(QStringLiteral("DrexoValmin")).height() + 8);
  const int top = first_text_row(TextLayout::tlTop);
  ASSERT_GE(top, 0);
  EXPECT_EQ(first_text_row(TextLayout::tlCenter) - top, spare / 2);
  EXPECT_EQ(first_text_row(TextLayout::tlBottom) - top, spare);
}

TEST_F(ShadowLabelTest, MouseEnterAndLeaveReachTheHandlersWhenAssigned) {
  ShadowLabel* label = AddLabel(QStringLiteral("DrexoValmin"));
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(73, 36));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &enter);  // unassigned handlers are skipped
  QApplication::sendEvent(label, &leave);
  std::string calls;
  label->OnMouseEnter = [&] { calls += "enter "; };
  label->OnMouseLeave = [&] { calls += "leave"; };
  QApplication::sendEvent(label, &enter);
  QApplication::sendEvent(label, &leave);
  EXPECT_EQ(calls, "enter leave");
  label->OnMouseEnter = nullptr;  // the handlers refer to `calls`, which goes first
  label->OnMouseLeave = nullptr;
}

}  // namespace
}  // namespace qm::label
