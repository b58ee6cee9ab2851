#include "downloader/files/system_name.h"

#include <cstdint>

#include "downloader/text/cp437.h"

namespace pat {

namespace {

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string system_name(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char ch : name) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b < 128) {
      out += ch;
    } else {
      append_utf8(out, cp437_glyph(b));
    }
  }
  return out;
}

}  // namespace pat
