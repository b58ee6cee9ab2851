#pragma once

#include <cstdint>

// The window's glyphs: code page 437, 8 x 16 pixels, one byte a pixel row
// with the leftmost pixel in the top bit. Made at build time from a console
// font of the system.

namespace pat {

extern const std::uint8_t window_font[256][16];

}  // namespace pat
