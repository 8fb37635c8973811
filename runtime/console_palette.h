// The sixteen console colours as the classic text screen shows them, and
// where a 256-colour terminal can show them whatever its theme: the nearest
// of its fixed entries 16 to 255 (the 6x6x6 cube and the grey ramp), whose
// values every such terminal shares, unlike entries 0 to 15. Pure.
#pragma once

#include <array>
#include <cstdint>

namespace zq {

// 0xRRGGBB of console colour 0 to 15 (bit 0 blue, 1 green, 2 red, 3 bright).
inline constexpr std::array<std::uint32_t, 16> kClassicPalette = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
};

// Whether the user asks for no colours: NO_COLOR set and not empty (pass
// the variable's value, null when unset). The screen is then drawn as on a
// terminal without colours.
bool colours_refused(const char* no_color);
// Whether a cell of attribute `attr` shows in reverse video without colours:
// its background is one of `reversed_backgrounds` (bit n for colour n).
bool reversed_without_colours(std::uint16_t attr, std::uint16_t reversed_backgrounds);

// 0xRRGGBB of a 256-colour terminal's entry 16 to 255.
std::uint32_t rgb_of_entry(int entry);
// The entry 16 to 255 nearest to `rgb` (distance in RGB).
int nearest_entry(std::uint32_t rgb);

}  // namespace zq
