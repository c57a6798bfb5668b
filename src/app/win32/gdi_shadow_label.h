#pragma once

#include <windows.h>

#include <string>

#include "app/win32/gdi_objects.h"
#include "label/bitmap32.h"
#include "label/coverage_buffer.h"
#include "label/label_kind.h"
#include "label/label_shadow.h"

namespace qm::app {

// The shadowed label drawn with GDI on its parent's surface, as a graphic control that owns
// no window: the text's glyph coverage comes from GDI, the shadow from the toolkit-free
// label code. The label sizes itself to its caption plus the room the blur needs, keeping its
// left and top.
class GdiShadowLabel {
 public:
  GdiShadowLabel();

  // Places the label and measures the caption with `font` on `dc`.
  void Layout(HDC dc, HFONT font, POINT origin, const std::u16string& caption);

  RECT Bounds() const { return bounds_; }
  // Where the text itself is drawn, inside Bounds().
  RECT TextBounds() const;

  // Paints on `dc` over what the parent has already painted there (the label is transparent).
  void Paint(HDC dc);

 private:
  // The text's colour: the window text colour for a standard label, otherwise the kind's own.
  COLORREF TextColor() const;

  label::LabelShadow shadow_;
  label::LabelKind kind_;
  std::u16string caption_;
  HFONT font_ = nullptr;
  RECT bounds_{};
  label::ShadowOffsets offsets_;
  label::Bitmap32 mask_;
  label::CoverageBuffer mask_bits_;
};

}  // namespace qm::app
