#include "app/win32/gdi_shadow_label.h"

#include <cstring>

#include "label/raster_effects.h"

namespace qm::app {
namespace {

// The label's caption holds no "&" to underline and is never wrapped.
constexpr UINT kTextFlags = DT_LEFT | DT_TOP | DT_EXPANDTABS | DT_SINGLELINE;

const wchar_t* WideText(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A 32-bit top-down DIB section: its pixels are blue, green, red and a spare byte per pixel,
// rows without padding, which is the layout of label::Bitmap32.
struct DibSection {
  DibSection(HDC reference, int width, int height) : dc(CreateCompatibleDC(reference)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap.reset(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  }

  void CopyTo(label::Bitmap32& target) const {
    GdiFlush();
    const auto row_bytes =
        static_cast<std::size_t>(target.Width()) * label::Bitmap32::kBytesPerPixel;
    for (int y = 0; y < target.Height(); ++y) {
      std::memcpy(target.Row(y), static_cast<const std::uint8_t*>(bits) + row_bytes * y, row_bytes);
    }
  }

  void CopyFrom(const label::Bitmap32& source) {
    GdiFlush();
    const auto row_bytes =
        static_cast<std::size_t>(source.Width()) * label::Bitmap32::kBytesPerPixel;
    for (int y = 0; y < source.Height(); ++y) {
      std::memcpy(static_cast<std::uint8_t*>(bits) + row_bytes * y, source.Row(y), row_bytes);
    }
  }

  MemoryDc dc;
  BitmapHandle bitmap;
  void* bits = nullptr;
};

label::ColorValue SystemColour(int index) {
  return static_cast<label::ColorValue>(GetSysColor(index));
}

}  // namespace

GdiShadowLabel::GdiShadowLabel() : shadow_([] {}, SystemColour), kind_([] {}) {}

COLORREF GdiShadowLabel::TextColor() const {
  if (kind_.KindType() == label::LabelKindType::ktStandard) return GetSysColor(COLOR_WINDOWTEXT);
  return label::ResolveColour(kind_.Color(), SystemColour);
}

void GdiShadowLabel::Layout(HDC dc, HFONT font, POINT origin, const std::u16string& caption) {
  caption_ = caption;
  font_ = font;
  RECT text{0, 0, 0, 0};
  {
    SelectedObject selected(dc, font_);
    DrawTextW(dc, WideText(caption_), -1, &text, kTextFlags | DT_CALCRECT);
  }
  offsets_ = label::MeasuringOffsets(shadow_.Distance(), shadow_.BlurCount());
  const int grow = offsets_.right_bottom - offsets_.top_left;
  bounds_ = {origin.x, origin.y, origin.x + text.right + grow, origin.y + text.bottom + grow};
}

RECT GdiShadowLabel::TextBounds() const {
  return {bounds_.left - offsets_.top_left, bounds_.top - offsets_.top_left,
          bounds_.right - offsets_.right_bottom, bounds_.bottom - offsets_.right_bottom};
}

void GdiShadowLabel::Paint(HDC dc) {
  const int width = bounds_.right - bounds_.left;
  const int height = bounds_.bottom - bounds_.top;
  if (width <= 0 || height <= 0) return;
  DibSection scratch(dc, width, height);
  if (scratch.bitmap == nullptr) return;
  SelectedObject selected_bitmap(scratch.dc.get(), scratch.bitmap.get());
  SelectedObject selected_font(scratch.dc.get(), font_);
  SetBkMode(scratch.dc.get(), TRANSPARENT);
  mask_.SetSize(width, height);

  // The glyphs' coverage: white text on black, moved by the shadow's distance.
  RECT text = TextBounds();
  OffsetRect(&text, -bounds_.left, -bounds_.top);
  const RECT whole{0, 0, width, height};
  FillRect(scratch.dc.get(), &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RECT shadow_text = text;
  OffsetRect(&shadow_text, shadow_.Distance(), shadow_.Distance());
  SetTextColor(scratch.dc.get(), RGB(255, 255, 255));
  DrawTextW(scratch.dc.get(), WideText(caption_), -1, &shadow_text, kTextFlags);
  scratch.CopyTo(mask_);
  label::BuildShadowCoverage(mask_, mask_bits_, shadow_.BlurCount());

  // The shadow blended over what the parent painted beneath, then the text on top.
  shadow_.RecomputeComponents();
  BitBlt(scratch.dc.get(), 0, 0, width, height, dc, bounds_.left, bounds_.top, SRCCOPY);
  scratch.CopyTo(mask_);
  label::BlendOverBackground(mask_, mask_bits_, shadow_.Components());
  scratch.CopyFrom(mask_);
  SetTextColor(scratch.dc.get(), TextColor());
  DrawTextW(scratch.dc.get(), WideText(caption_), -1, &text, kTextFlags);
  BitBlt(dc, bounds_.left, bounds_.top, width, height, scratch.dc.get(), 0, 0, SRCCOPY);
}

}  // namespace qm::app
