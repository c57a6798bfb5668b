#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "label/color.h"

class QPainter;

namespace qm::label {

enum class Alignment { taLeftJustify, taRightJustify, taCenter };
enum class TextLayout { tlTop, tlCenter, tlBottom };
enum class EllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

// How DoDrawText is asked to handle the text: Qt alignment and text flags, and whether the
// call only measures (then the rectangle receives the size the text needs, its left and top
// kept, and nothing is painted).
struct TextFormat {
  int flags = 0;
  bool calc_rect = false;
};

// A text label painted on its parent's surface. It carries the classic label settings
// (caption with "&" accelerators, alignment, vertical layout, word wrap, automatic sizing,
// transparency, colour) and routes all text output through the virtual DoDrawText, so a
// derived label can change how text looks while sizing and layout stay here.
//
// Automatic sizing measures at construction and whenever the caption, the font, word wrap or
// AutoSize change. A caller that moves and sizes the label by hand should do so before
// setting the caption, or call AdjustBounds() afterwards.
class EffectLabel : public QWidget {
  Q_OBJECT

 public:
  explicit EffectLabel(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);

  qm::label::Alignment Alignment() const { return alignment_; }
  void SetAlignment(qm::label::Alignment alignment);

  TextLayout Layout() const { return layout_; }
  void SetLayout(TextLayout layout);

  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool word_wrap);

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool auto_size);

  // When on, "&" marks the next character as the accelerator and "&&" shows one "&".
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool show_accel_char);

  // A transparent label leaves its parent's painting visible around the text.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

  // The label's background colour. While ParentColor() is on it is the parent's window
  // colour; setting a colour turns ParentColor off.
  ColorValue Color() const;
  void SetColor(ColorValue color);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool parent_color);

  qm::label::EllipsisPosition EllipsisPosition() const { return ellipsis_position_; }
  void SetEllipsisPosition(qm::label::EllipsisPosition position);

  // Kept for designs that name a skin section; nothing here reads it.
  QString SkinSection() const { return skin_section_; }
  void SetSkinSection(const QString& section) { skin_section_ = section; }

  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;

  // Resizes the label to its measured text when AutoSize() is on (keeping the right edge
  // for right-aligned text); does nothing otherwise.
  void AdjustBounds();

 protected:
  // Paints the text into rect with painter, or with format.calc_rect measures it (painter is
  // then null and rect is updated). The plain version draws in the font colour, or embossed
  // when the label is disabled.
  virtual void DoDrawText(QPainter* painter, QRect& rect, TextFormat format);

  // The caption as it is drawn: measuring an empty caption, or a lone "&" while accelerators
  // are shown, measures one blank so the label never collapses.
  QString TextToDraw(bool measuring) const;
  // format.flags plus the accelerator and reading-direction flags the label's settings ask for.
  int DrawFlags(TextFormat format) const;
  // Measures or draws one text in one colour with the label's font.
  void DrawTextIn(QPainter* painter, QRect& rect, const QString& text, int flags, bool calc_rect,
                  const QColor& color) const;
  // The highlight-below-shadow look of disabled text.
  void DrawDisabledText(QPainter* painter, QRect& rect, const QString& text, int flags,
                        bool calc_rect) const;

  ColorValue ResolveSystemColor(ColorValue color) const;
  SystemColorLookup SystemColors() const;

  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int HorizontalAlignmentFlag() const;

  QString caption_;
  qm::label::Alignment alignment_ = Alignment::taLeftJustify;
  TextLayout layout_ = TextLayout::tlTop;
  bool word_wrap_ = false;
  bool auto_size_ = true;
  bool show_accel_char_ = true;
  bool transparent_ = true;
  bool parent_color_ = true;
  ColorValue color_ = SystemColor(kColorBtnFace);
  qm::label::EllipsisPosition ellipsis_position_ = EllipsisPosition::epNone;
  QString skin_section_;
};

}  // namespace qm::label
