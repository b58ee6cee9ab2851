#include "downloader/console/terminal_keys.h"

#define NCURSES_WIDECHAR 1
#include <ncurses.h>

#include "downloader/console/pc_scan_codes.h"
#include "downloader/text/cp437.h"

namespace pat {

namespace {

TerminalKey character_key(int character, bool keypad = false) {
  auto byte = static_cast<std::uint8_t>(character);
  return TerminalKey{character, TypedKey{byte, 0}, keypad};
}

// Keys without a character: 256 times the PC scan code, typed as 0 and the scan code.
TerminalKey scan_key(int scan, bool keypad = false) {
  return TerminalKey{256 * scan, TypedKey{0, static_cast<std::uint8_t>(scan)}, keypad};
}

bool function_key_of(std::uint32_t value, TerminalKey& key) {
  switch (value) {
    case KEY_ENTER: key = character_key(13, true); return true;
    case KEY_BACKSPACE: key = character_key(8); return true;
    case KEY_UP: key = scan_key(72); return true;
    case KEY_DOWN: key = scan_key(80); return true;
    case KEY_LEFT: key = scan_key(75); return true;
    case KEY_RIGHT: key = scan_key(77); return true;
    case KEY_HOME: key = scan_key(71); return true;
    case KEY_END: key = scan_key(79); return true;
    case KEY_PPAGE: key = scan_key(73); return true;
    case KEY_NPAGE: key = scan_key(81); return true;
    case KEY_IC: key = scan_key(82); return true;
    case KEY_DC: key = scan_key(83); return true;
    case KEY_A1: key = scan_key(71, true); return true;
    case KEY_A3: key = scan_key(73, true); return true;
    case KEY_C1: key = scan_key(79, true); return true;
    case KEY_C3: key = scan_key(81, true); return true;
    default: break;
  }
  if (value >= static_cast<std::uint32_t>(KEY_F(1)) && value <= static_cast<std::uint32_t>(KEY_F(10))) {
    key = scan_key(59 + static_cast<int>(value - KEY_F(1)));
    return true;
  }
  return false;
}

}  // namespace

bool terminal_key(bool function_key, std::uint32_t value, TerminalKey& key) {
  if (function_key) return function_key_of(value, key);
  switch (value) {
    case 27: key = character_key(27); return true;
    case '\r':
    case '\n': key = character_key(13); return true;
    case 8:
    case 127: key = character_key(8); return true;
    case '\t': key = character_key(9); return true;
    default: break;
  }
  if (value >= 1 && value <= 26) {
    // Ctrl with a letter: the letter in the queue, the control character typed.
    key = TerminalKey{static_cast<std::int32_t>('a' + value - 1),
                      TypedKey{static_cast<std::uint8_t>(value), 0}, false};
    return true;
  }
  if (value < 32) return false;
  int code = cp437_code(static_cast<char32_t>(value));
  if (code < 0) return false;
  key = character_key(code);
  return true;
}

bool terminal_alt_key(std::uint32_t value, TerminalKey& key) {
  if (value > 127) return false;
  const std::uint8_t scan = letter_scan_code(static_cast<char>(value));
  if (scan == 0) return false;
  key = TerminalKey{static_cast<std::int32_t>(value), TypedKey{0, scan}, false};
  return true;
}

}  // namespace pat
