#include "label/shadow_label.h"

#include <QPainter>
#include <algorithm>

#include "label/raster_effects.h"
#include "label/rect.h"
#include "label/system_colors.h"

namespace qm::label {
namespace {

// Format_RGB32 scan lines are 0xffRRGGBB words on every byte order, so going through qRed and
// friends keeps the bitmap's blue, green, red byte order without caring about the machine.
void ImageToBitmap(const QImage& image, Bitmap32& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    std::uint8_t* pixel = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x, pixel += Bitmap32::kBytesPerPixel) {
      pixel[Bitmap32::kBlue] = static_cast<std::uint8_t>(qBlue(source[x]));
      pixel[Bitmap32::kGreen] = static_cast<std::uint8_t>(qGreen(source[x]));
      pixel[Bitmap32::kRed] = static_cast<std::uint8_t>(qRed(source[x]));
      pixel[Bitmap32::kSpare] = 0;
    }
  }
}

void BitmapToImage(const Bitmap32& bitmap, QImage& image) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
    const std::uint8_t* pixel = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x, pixel += Bitmap32::kBytesPerPixel) {
      target[x] = qRgb(pixel[Bitmap32::kRed], pixel[Bitmap32::kGreen], pixel[Bitmap32::kBlue]);
    }
  }
}

Rect ToRect(const QRect& rect) {
  return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace

ShadowLabel::ShadowLabel(QWidget* parent)
    : EffectLabel(parent),
      shadow_([this] { ShadowChanged(); }, SystemColors()),
      kind_([this] { update(); }) {
  AdjustBounds();
}

void ShadowLabel::ShadowChanged() {
  // Every shadow setting can change the room the label needs around its text.
  AdjustBounds();
  update();
}

QColor ShadowLabel::TextColor() const {
  if (kind_.KindType() == LabelKindType::ktStandard) return palette().color(QPalette::WindowText);
  return ToQColor(ResolveSystemColor(kind_.Color()));
}

void ShadowLabel::DoDrawText(QPainter* painter, QRect& rect, TextFormat format) {
  if (shadow_.Mode() == LabelShadowMode::smNone) {
    EffectLabel::DoDrawText(painter, rect, format);
    return;
  }
  // No skin is ever present, so the skin mode takes the same values as the custom one; only
  // a system colour may have moved since it was assigned.
  if (shadow_.Mode() == LabelShadowMode::smSkin1) shadow_.RecomputeComponents();
  const ColorValue shadow_color = shadow_.Color();
  const int blur_count = shadow_.BlurCount();
  const int distance = shadow_.Distance();

  const QString text = TextToDraw(format.calc_rect);
  const int flags = DrawFlags(format);

  if (!isEnabled()) {
    DrawDisabledText(painter, rect, text, flags, format.calc_rect);
    return;
  }
  const QColor text_color = TextColor();

  const bool has_shadow = shadow_color != kClNone && blur_count != 0;
  if (format.calc_rect || !has_shadow) {
    DrawTextIn(painter, rect, text, flags, format.calc_rect, text_color);
    if (format.calc_rect && has_shadow) {
      const ShadowOffsets offsets = MeasuringOffsets(distance, blur_count);
      offs_top_left_ = offsets.top_left;
      offs_right_bottom_ = offsets.right_bottom;
      const int grow = offs_right_bottom_ - offs_top_left_;
      rect.setSize(rect.size() + QSize(grow, grow));
    }
    return;
  }

  QRect text_rect =
      rect.adjusted(-offs_top_left_, -offs_top_left_, -offs_right_bottom_, -offs_right_bottom_);
  PaintShadow(*painter, rect, text_rect, text, flags);
  DrawTextIn(painter, text_rect, text, flags, false, text_color);
}

void ShadowLabel::PaintShadow(QPainter& painter, const QRect& area, const QRect& text_rect,
                              const QString& text, int flags) {
  const Rect box = ToRect(area);
  const int width = ClampedWidth(box);
  const int height = ClampedHeight(box);
  mask_.SetSize(width, height);
  if (width == 0 || height == 0) return;
  SizeScratch(width, height);

  // Bounded like the offsets; this only keeps the rectangle arithmetic from overflowing,
  // a shadow moved that far is off the bitmap anyway.
  const int distance = std::clamp(shadow_.Distance(), -kMaxShadowOffset, kMaxShadowOffset);
  scratch_.fill(Qt::black);
  {
    QPainter text_painter(&scratch_);
    text_painter.setFont(font());
    text_painter.setPen(Qt::white);
    text_painter.drawText(text_rect.translated(distance, distance), flags, text);
  }
  ImageToBitmap(scratch_, mask_);
  BuildShadowCoverage(mask_, mask_bits_, shadow_.BlurCount());

  if (Transparent()) {
    GrabSurfaceBeneath();
    ImageToBitmap(scratch_, mask_);
    BlendOverBackground(mask_, mask_bits_, shadow_.Components());
  } else {
    BlendOverColour(mask_, mask_bits_, shadow_.Components(),
                    SplitColor(ResolveSystemColor(Color())));
  }
  BitmapToImage(mask_, scratch_);
  painter.drawImage(QPoint(0, 0), scratch_);
}

void ShadowLabel::GrabSurfaceBeneath() {
  // A label has no surface of its own to read back, so the parent is asked to paint the
  // label's area again, without its children (this label among them). Siblings that overlap
  // the label are not part of that picture.
  scratch_.fill(palette().color(QPalette::Window));
  QWidget* parent = parentWidget();
  if (parent == nullptr) return;
  const QRect visible = geometry() & parent->rect();
  if (visible.isEmpty()) return;
  parent->render(&scratch_, visible.topLeft() - pos(), QRegion(visible),
                 QWidget::DrawWindowBackground);
}

void ShadowLabel::SizeScratch(int width, int height) {
  if (scratch_.width() != width || scratch_.height() != height) {
    scratch_ = QImage(width, height, QImage::Format_RGB32);
  }
}

}  // namespace qm::label
