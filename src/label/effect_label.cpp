#include "label/effect_label.h"

#include <QEnterEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include "label/system_colors.h"

namespace qm::label {

EffectLabel::EffectLabel(QWidget* parent) : QWidget(parent) {
  // The classic label's size before it first measures itself.
  resize(65, 17);
  AdjustBounds();
}

void EffectLabel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  AdjustBounds();
  update();
}

void EffectLabel::SetAlignment(qm::label::Alignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  update();
}

void EffectLabel::SetLayout(TextLayout layout) {
  if (layout == layout_) return;
  layout_ = layout;
  update();
}

void EffectLabel::SetWordWrap(bool word_wrap) {
  if (word_wrap == word_wrap_) return;
  word_wrap_ = word_wrap;
  AdjustBounds();
  update();
}

void EffectLabel::SetAutoSize(bool auto_size) {
  if (auto_size == auto_size_) return;
  auto_size_ = auto_size;
  AdjustBounds();
}

void EffectLabel::SetShowAccelChar(bool show_accel_char) {
  if (show_accel_char == show_accel_char_) return;
  show_accel_char_ = show_accel_char;
  update();
}

void EffectLabel::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  update();
}

ColorValue EffectLabel::Color() const {
  // The palette already follows the parent's, which is what ParentColor asks for.
  if (!parent_color_) return color_;
  return FromQColor(palette().color(QPalette::Window));
}

void EffectLabel::SetColor(ColorValue color) {
  if (!parent_color_ && color == color_) return;
  color_ = color;
  parent_color_ = false;
  update();
}

void EffectLabel::SetParentColor(bool parent_color) {
  if (parent_color == parent_color_) return;
  parent_color_ = parent_color;
  update();
}

void EffectLabel::SetEllipsisPosition(qm::label::EllipsisPosition position) {
  if (position == ellipsis_position_) return;
  ellipsis_position_ = position;
  update();
}

void EffectLabel::AdjustBounds() {
  if (!auto_size_) return;
  QRect measured = rect();
  DoDrawText(nullptr, measured,
             {Qt::TextExpandTabs | Qt::AlignTop | (word_wrap_ ? Qt::TextWordWrap : 0), true});
  int left = x();
  if (HorizontalAlignmentFlag() & Qt::AlignRight)
    left += width() - (measured.left() + measured.width());
  setGeometry(left, y(), measured.left() + measured.width(), measured.top() + measured.height());
}

QString EffectLabel::TextToDraw(bool measuring) const {
  if (measuring && (caption_.isEmpty() || (show_accel_char_ && caption_ == QStringLiteral("&")))) {
    return caption_ + QLatin1Char(' ');
  }
  return caption_;
}

int EffectLabel::DrawFlags(TextFormat format) const {
  int flags = format.flags;
  // Qt leaves "&" alone unless asked, which is what a label without accelerators wants.
  if (show_accel_char_) flags |= Qt::TextShowMnemonic;
  if (layoutDirection() == Qt::RightToLeft) flags |= Qt::TextForceRightToLeft;
  return flags;
}

void EffectLabel::DrawTextIn(QPainter* painter, QRect& rect, const QString& text, int flags,
                             bool calc_rect, const QColor& color) const {
  if (calc_rect || painter == nullptr) {
    const QSize needed = QFontMetrics(font()).boundingRect(rect, flags, text).size();
    rect.setSize(needed);
    return;
  }
  painter->setFont(font());
  painter->setPen(color);
  painter->drawText(rect, flags, text);
}

void EffectLabel::DrawDisabledText(QPainter* painter, QRect& rect, const QString& text, int flags,
                                   bool calc_rect) const {
  QRect raised = rect.translated(1, 1);
  DrawTextIn(painter, raised, text, flags, calc_rect,
             ToQColor(ResolveSystemColor(SystemColor(kColorBtnHighlight))));
  DrawTextIn(painter, rect, text, flags, calc_rect,
             ToQColor(ResolveSystemColor(SystemColor(kColorBtnShadow))));
}

void EffectLabel::DoDrawText(QPainter* painter, QRect& rect, TextFormat format) {
  QString text = TextToDraw(format.calc_rect);
  const int flags = DrawFlags(format);
  if (!format.calc_rect && !word_wrap_ && ellipsis_position_ != EllipsisPosition::epNone) {
    const Qt::TextElideMode mode =
        ellipsis_position_ == EllipsisPosition::epPathEllipsis ? Qt::ElideMiddle : Qt::ElideRight;
    text = QFontMetrics(font()).elidedText(text, mode, rect.width(), flags);
  }
  if (!isEnabled()) {
    DrawDisabledText(painter, rect, text, flags, format.calc_rect);
    return;
  }
  DrawTextIn(painter, rect, text, flags, format.calc_rect, palette().color(QPalette::WindowText));
}

ColorValue EffectLabel::ResolveSystemColor(ColorValue color) const {
  return ResolveColour(color, SystemColors());
}

SystemColorLookup EffectLabel::SystemColors() const {
  return [this](int index) { return SystemColorFromPalette(palette(), index); };
}

int EffectLabel::HorizontalAlignmentFlag() const {
  int flag = Qt::AlignLeft;
  if (alignment_ == Alignment::taRightJustify) flag = Qt::AlignRight;
  if (alignment_ == Alignment::taCenter) return Qt::AlignHCenter | Qt::AlignAbsolute;
  // Right-to-left labels mirror left and right; AlignAbsolute stops Qt from mirroring again.
  if (layoutDirection() == Qt::RightToLeft)
    flag = flag == Qt::AlignLeft ? Qt::AlignRight : Qt::AlignLeft;
  return flag | Qt::AlignAbsolute;
}

void EffectLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!transparent_) painter.fillRect(rect(), ToQColor(ResolveSystemColor(Color())));
  QRect area = rect();
  const int flags = Qt::TextExpandTabs | Qt::AlignTop | HorizontalAlignmentFlag() |
                    (word_wrap_ ? Qt::TextWordWrap : 0);
  if (layout_ != TextLayout::tlTop) {
    QRect measured = area;
    DoDrawText(nullptr, measured, {flags, true});
    const int spare = height() - (measured.top() + measured.height());
    area.translate(0, layout_ == TextLayout::tlBottom ? spare : spare / 2);
  }
  DoDrawText(&painter, area, {flags, false});
}

void EffectLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    AdjustBounds();
    update();
  }
  QWidget::changeEvent(event);
}

void EffectLabel::enterEvent(QEnterEvent* event) {
  if (OnMouseEnter) OnMouseEnter();
  QWidget::enterEvent(event);
}

void EffectLabel::leaveEvent(QEvent* event) {
  if (OnMouseLeave) OnMouseLeave();
  QWidget::leaveEvent(event);
}

}  // namespace qm::label
