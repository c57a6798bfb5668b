#include "label/system_colors.h"

#include <array>
#include <optional>

namespace qm::label {
namespace {

struct RoleFor {
  int index;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// The classic system colour indices mapped to the palette role closest in purpose.
constexpr std::array kRoles = {
    RoleFor{0, QPalette::Active, QPalette::Midlight},          // scroll bar
    RoleFor{1, QPalette::Active, QPalette::Dark},              // desktop
    RoleFor{2, QPalette::Active, QPalette::Highlight},         // active caption
    RoleFor{3, QPalette::Inactive, QPalette::Window},          // inactive caption
    RoleFor{4, QPalette::Active, QPalette::Window},            // menu
    RoleFor{5, QPalette::Active, QPalette::Base},              // window
    RoleFor{6, QPalette::Active, QPalette::Shadow},            // window frame
    RoleFor{7, QPalette::Active, QPalette::WindowText},        // menu text
    RoleFor{8, QPalette::Active, QPalette::WindowText},        // window text
    RoleFor{9, QPalette::Active, QPalette::HighlightedText},   // caption text
    RoleFor{10, QPalette::Active, QPalette::Button},           // active border
    RoleFor{11, QPalette::Active, QPalette::Button},           // inactive border
    RoleFor{12, QPalette::Active, QPalette::Mid},              // application workspace
    RoleFor{13, QPalette::Active, QPalette::Highlight},        // highlight
    RoleFor{14, QPalette::Active, QPalette::HighlightedText},  // highlighted text
    RoleFor{15, QPalette::Active, QPalette::Button},           // button face
    RoleFor{16, QPalette::Active, QPalette::Dark},             // button shadow
    RoleFor{17, QPalette::Disabled, QPalette::WindowText},     // grey text
    RoleFor{18, QPalette::Active, QPalette::ButtonText},       // button text
    RoleFor{19, QPalette::Inactive, QPalette::WindowText},     // inactive caption text
    RoleFor{20, QPalette::Active, QPalette::Light},            // button highlight
    RoleFor{21, QPalette::Active, QPalette::Shadow},           // 3-D dark shadow
    RoleFor{22, QPalette::Active, QPalette::Midlight},         // 3-D light
    RoleFor{23, QPalette::Active, QPalette::ToolTipText},      // info text
    RoleFor{24, QPalette::Active, QPalette::ToolTipBase},      // info background
    RoleFor{26, QPalette::Active, QPalette::Link},             // hot-tracked item
    RoleFor{27, QPalette::Active, QPalette::Highlight},        // active caption gradient
    RoleFor{28, QPalette::Inactive, QPalette::Window},         // inactive caption gradient
    RoleFor{29, QPalette::Active, QPalette::Highlight},        // menu highlight
    RoleFor{30, QPalette::Active, QPalette::Window},           // menu bar
};

std::optional<RoleFor> Lookup(int index) {
  for (const RoleFor& entry : kRoles) {
    if (entry.index == index) return entry;
  }
  return std::nullopt;
}

}  // namespace

ColorValue SystemColorFromPalette(const QPalette& palette, int index) {
  const auto entry = Lookup(index);
  if (!entry) return kClBlack;
  return FromQColor(palette.color(entry->group, entry->role));
}

QColor ToQColor(ColorValue resolved) {
  const ColorComponents c = SplitColor(resolved);
  return QColor(c.red, c.green, c.blue);
}

ColorValue FromQColor(const QColor& color) {
  const QRgb rgb = color.rgb();
  return RgbColor(static_cast<std::uint8_t>(qRed(rgb)), static_cast<std::uint8_t>(qGreen(rgb)),
                  static_cast<std::uint8_t>(qBlue(rgb)));
}

}  // namespace qm::label
