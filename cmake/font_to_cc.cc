// Turns an 8 x 16 PSF console font (version 1 or 2, gzipped or not) into
// the window's glyph table: a C++ source file holding the 256 glyphs of code
// page 437 in code order. Glyphs are found through the font's Unicode table
// when it has one; a font without one is taken to be in code page 437 order.
//
//   font_to_cc FONT OUTPUT.cc

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "downloader/text/cp437.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes read_font(const std::string& path) {
  Bytes bytes;
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
    std::string command = "gzip -dc -- '";
    for (char c : path) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run gzip");
    std::uint8_t buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) throw std::runtime_error("gzip could not unpack " + path);
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return bytes;
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

struct Font {
  std::size_t count = 0;
  std::size_t glyph_bytes = 0;
  std::size_t glyphs_at = 0;
  std::map<char32_t, std::size_t> by_character;  // from the Unicode table
  bool has_table = false;
};

// UTF-8 of the version 2 table; sequences (after 0xFE) are skipped.
void read_table_v2(const Bytes& b, std::size_t at, Font& font) {
  for (std::size_t glyph = 0; glyph < font.count && at < b.size(); ++glyph) {
    bool in_sequence = false;
    while (at < b.size() && b[at] != 0xFF) {
      if (b[at] == 0xFE) {
        in_sequence = true;
        ++at;
        continue;
      }
      std::uint8_t lead = b[at];
      int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
      char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
      ++at;
      for (int i = 0; i < extra && at < b.size(); ++i, ++at) value = value << 6 | (b[at] & 0x3F);
      if (!in_sequence) font.by_character.emplace(value, glyph);
    }
    ++at;
  }
}

// 16-bit little-endian of the version 1 table; 0xFFFE starts sequences.
void read_table_v1(const Bytes& b, std::size_t at, Font& font) {
  for (std::size_t glyph = 0; glyph < font.count && at + 1 < b.size(); ++glyph) {
    bool in_sequence = false;
    for (;;) {
      if (at + 1 >= b.size()) break;
      unsigned value = b[at] | b[at + 1] << 8;
      at += 2;
      if (value == 0xFFFF) break;
      if (value == 0xFFFE) {
        in_sequence = true;
        continue;
      }
      if (!in_sequence) font.by_character.emplace(static_cast<char32_t>(value), glyph);
    }
  }
}

Font parse(const Bytes& b) {
  Font font;
  if (b.size() >= 4 && b[0] == 0x36 && b[1] == 0x04) {
    const std::uint8_t mode = b[2];
    font.count = (mode & 1) ? 512 : 256;
    font.glyph_bytes = b[3];
    font.glyphs_at = 4;
    if (font.glyph_bytes != 16) throw std::runtime_error("the font is not 16 pixels high");
    font.has_table = (mode & 6) != 0;
    if (font.has_table) read_table_v1(b, font.glyphs_at + font.count * font.glyph_bytes, font);
  } else if (b.size() >= 32 && le32(b, 0) == 0x864AB572) {
    const std::uint32_t header = le32(b, 8);
    const std::uint32_t flags = le32(b, 12);
    font.count = le32(b, 16);
    font.glyph_bytes = le32(b, 20);
    const std::uint32_t height = le32(b, 24);
    const std::uint32_t width = le32(b, 28);
    if (width != 8 || height != 16 || font.glyph_bytes != 16) throw std::runtime_error("the font is not 8 x 16");
    font.glyphs_at = header;
    font.has_table = (flags & 1) != 0;
    if (font.has_table) read_table_v2(b, font.glyphs_at + font.count * font.glyph_bytes, font);
  } else {
    throw std::runtime_error("not a PSF console font");
  }
  if (font.glyphs_at + font.count * font.glyph_bytes > b.size()) throw std::runtime_error("the font is cut short");
  if (font.count < 256 && !font.has_table) throw std::runtime_error("the font has fewer than 256 glyphs");
  return font;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: font_to_cc FONT OUTPUT.cc\n");
    return 2;
  }
  try {
    const Bytes bytes = read_font(argv[1]);
    const Font font = parse(bytes);
    auto glyph_of = [&](char32_t character, std::size_t& glyph) {
      auto found = font.by_character.find(character);
      if (found == font.by_character.end()) return false;
      glyph = found->second;
      return true;
    };
    std::size_t blank = 32;
    if (font.has_table && !glyph_of(U' ', blank)) throw std::runtime_error("the font has no blank");

    std::array<std::size_t, 256> chosen{};
    for (int code = 0; code < 256; ++code) {
      const char32_t character = pat::cp437_glyph(static_cast<std::uint8_t>(code));
      std::size_t glyph = static_cast<std::size_t>(code);
      // Code 0 and the no-break space show as blanks whatever the font holds there.
      if (code == 0 || character == U'\u00A0') {
        glyph = blank;
      } else if (font.has_table && !glyph_of(character, glyph)) {
        throw std::runtime_error("the font has no glyph for code " + std::to_string(code));
      }
      chosen[static_cast<std::size_t>(code)] = glyph;
    }

    std::ofstream out(argv[2], std::ios::trunc);
    out << "// Made at build time by font_to_cc from " << argv[1] << ".\n\n"
        << "#include \"downloader/console/window_font.h\"\n\nnamespace pat {\n\n"
        << "const std::uint8_t window_font[256][16] = {\n";
    for (int code = 0; code < 256; ++code) {
      const std::size_t at = font.glyphs_at + chosen[static_cast<std::size_t>(code)] * font.glyph_bytes;
      out << "    {";
      for (int row = 0; row < 16; ++row) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", bytes[at + static_cast<std::size_t>(row)]);
        out << text << (row < 15 ? "," : "");
      }
      out << "},  // " << code << "\n";
    }
    out << "};\n\n}  // namespace pat\n";
    if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "font_to_cc: %s\n", e.what());
    return 1;
  }
  return 0;
}
