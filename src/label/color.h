#pragma once

#include <cstdint>
#include <functional>

namespace qm::label {

// A colour as the label settings hold it. With the top byte 0 the value is 0x00BBGGRR;
// with the top byte 0xFF it names a system colour by its low byte; kClNone means "no colour".
using ColorValue = std::uint32_t;

inline constexpr ColorValue kClBlack = 0x000000;
inline constexpr ColorValue kClWhite = 0xFFFFFF;
inline constexpr ColorValue kClNone = 0x1FFFFFFF;

// System colour indices the label itself asks for.
inline constexpr int kColorWindowText = 8;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorBtnShadow = 16;
inline constexpr int kColorBtnHighlight = 20;

constexpr ColorValue RgbColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return ColorValue{red} | (ColorValue{green} << 8) | (ColorValue{blue} << 16);
}

constexpr ColorValue SystemColor(int index) {
  return 0xFF000000u | (static_cast<ColorValue>(index) & 0xFFu);
}

constexpr bool IsSystemColor(ColorValue color) {
  return (color >> 24) == 0xFF;
}

struct ColorComponents {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  friend bool operator==(const ColorComponents&, const ColorComponents&) = default;
};

// Answers the current 0x00BBGGRR value of a system colour index. The toolkit side provides it;
// the pixel code stays free of any windowing system.
using SystemColorLookup = std::function<ColorValue(int index)>;

// System colours are replaced by the lookup's answer (black when there is no lookup);
// every other value comes back unchanged.
ColorValue ResolveColour(ColorValue color, const SystemColorLookup& lookup);

// Red is the low byte, green the next, blue the third; the top byte is ignored.
constexpr ColorComponents SplitColor(ColorValue color) {
  return {static_cast<std::uint8_t>(color & 0xFF), static_cast<std::uint8_t>((color >> 8) & 0xFF),
          static_cast<std::uint8_t>((color >> 16) & 0xFF)};
}

}  // namespace qm::label
