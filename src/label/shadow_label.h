#pragma once

#include <QImage>

#include "label/bitmap32.h"
#include "label/coverage_buffer.h"
#include "label/effect_label.h"
#include "label/label_kind.h"
#include "label/label_shadow.h"

namespace qm::label {

// A label whose text sits on a soft drop shadow. With an active shadow it sizes itself with
// room for the blur on every side: OffsTopLeft() (0 or negative) and OffsRightBottom()
// (0 or positive) record that room from the most recent measurement, and the text is drawn
// inset by them.
class ShadowLabel : public EffectLabel {
  Q_OBJECT

 public:
  explicit ShadowLabel(QWidget* parent = nullptr);

  LabelShadow& Shadow() { return shadow_; }
  const LabelShadow& Shadow() const { return shadow_; }
  LabelKind& Kind() { return kind_; }
  const LabelKind& Kind() const { return kind_; }

  int OffsTopLeft() const { return offs_top_left_; }
  int OffsRightBottom() const { return offs_right_bottom_; }

 protected:
  void DoDrawText(QPainter* painter, QRect& rect, TextFormat format) override;

 private:
  void ShadowChanged();
  QColor TextColor() const;
  // Builds the shadow for the label rectangle `area` into mask_ and paints it at the origin.
  void PaintShadow(QPainter& painter, const QRect& area, const QRect& text_rect,
                   const QString& text, int flags);
  // Fills scratch_ with what the parent paints beneath the label.
  void GrabSurfaceBeneath();
  void SizeScratch(int width, int height);

  LabelShadow shadow_;
  LabelKind kind_;
  Bitmap32 mask_;
  CoverageBuffer mask_bits_;
  // The toolkit's view of mask_: text is drawn and surfaces are read and written through it.
  // Kept between paints so a repaint at the same size allocates nothing.
  QImage scratch_;
  int offs_top_left_ = 0;
  int offs_right_bottom_ = 0;
};

}  // namespace qm::label
