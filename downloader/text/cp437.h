#pragma once

#include <cstdint>

// Code page 437, the character set of the screen's cells and of typed keys.

namespace pat {

// The Unicode character that shows a cell's code: code 0 a blank, 1 to 31
// the graphic symbols.
char32_t cp437_glyph(std::uint8_t code);

// The code that types a Unicode character, or -1 when code page 437 has none.
int cp437_code(char32_t glyph);

}  // namespace pat
