// The sign's one font: 5x7 glyphs in a cell of 6x8 LEDs, drawn at a whole multiple that
// fills the panel's height (x2 on a 16-LED panel).
#pragma once

#include <array>
#include <cstdint>

namespace signsim {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kCellWidth = 6;  // a blank column between characters
inline constexpr int kCellHeight = 8;

// The seven rows of a character, top first; bit 4 is the leftmost LED. A character the
// font lacks (controls, 0x7F and above) is a hollow box, so that it still takes its place.
const std::array<std::uint8_t, kGlyphHeight>& Glyph(unsigned char c);

}  // namespace signsim
