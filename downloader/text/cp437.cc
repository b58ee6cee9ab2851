#include "downloader/text/cp437.h"

#include <array>
#include <string_view>

namespace pat {

namespace {

// Sixteen codes a row.
constexpr std::u32string_view glyph_rows[16] = {
    U" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼",
    U"►◄↕‼¶§▬↨↑↓→←∟↔▲▼",
    U" !\"#$%&'()*+,-./",
    U"0123456789:;<=>?",
    U"@ABCDEFGHIJKLMNO",
    U"PQRSTUVWXYZ[\\]^_",
    U"`abcdefghijklmno",
    U"pqrstuvwxyz{|}~⌂",
    U"ÇüéâäàåçêëèïîìÄÅ",
    U"ÉæÆôöòûùÿÖÜ¢£¥₧ƒ",
    U"áíóúñÑªº¿⌐¬½¼¡«»",
    U"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐",
    U"└┴┬├─┼╞╟╚╔╩╦╠═╬╧",
    U"╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀",
    U"αßΓπΣσµτΦΘΩδ∞φε∩",
    U"≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0",
};

constexpr bool rows_complete() {
  for (auto row : glyph_rows) {
    if (row.size() != 16) return false;
  }
  return true;
}
static_assert(rows_complete(), "every row of the glyph table holds 16 codes");

}  // namespace

char32_t cp437_glyph(std::uint8_t code) { return glyph_rows[code / 16][code % 16]; }

int cp437_code(char32_t glyph) {
  if (glyph >= 32 && glyph < 127) return static_cast<int>(glyph);
  for (int code = 127; code < 256; ++code) {
    if (glyph_rows[code / 16][code % 16] == glyph) return code;
  }
  return -1;
}

}  // namespace pat
