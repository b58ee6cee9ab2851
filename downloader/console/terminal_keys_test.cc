#include "downloader/console/terminal_keys.h"

#include <gtest/gtest.h>

#define NCURSES_WIDECHAR 1
#include <ncurses.h>

#include <vector>

#include "downloader/text/cp437.h"

namespace pat {
namespace {

TEST(TerminalKeys, TerminalInputBecomesTheConsolesKeyCodes) {
  struct Case {
    const char* name;
    bool function_key;
    std::uint32_t value;
    std::int32_t code;
    std::uint8_t character, scan;
  };
  const std::vector<Case> cases = {
      {"letter", false, 'a', 'a', 'a', 0},
      {"shifted letter", false, 'A', 'A', 'A', 0},
      {"digit 3", false, '3', 51, '3', 0},
      {"blank", false, ' ', 32, 32, 0},
      {"Escape", false, 27, 27, 27, 0},
      {"carriage return", false, '\r', 13, 13, 0},
      {"line feed", false, '\n', 13, 13, 0},
      {"keypad Enter", true, static_cast<std::uint32_t>(KEY_ENTER), 13, 13, 0},
      {"DEL byte", false, 127, 8, 8, 0},
      {"backspace byte", false, 8, 8, 8, 0},
      {"curses Backspace", true, static_cast<std::uint32_t>(KEY_BACKSPACE), 8, 8, 0},
      {"Tab", false, '\t', 9, 9, 0},
      {"Ctrl+A", false, 1, 'a', 1, 0},
      {"Ctrl+Z", false, 26, 'z', 26, 0},
      {"Up", true, static_cast<std::uint32_t>(KEY_UP), 18432, 0, 72},
      {"Down", true, static_cast<std::uint32_t>(KEY_DOWN), 20480, 0, 80},
      {"Left", true, static_cast<std::uint32_t>(KEY_LEFT), 19200, 0, 75},
      {"Right", true, static_cast<std::uint32_t>(KEY_RIGHT), 19712, 0, 77},
      {"Home", true, static_cast<std::uint32_t>(KEY_HOME), 18176, 0, 71},
      {"End", true, static_cast<std::uint32_t>(KEY_END), 20224, 0, 79},
      {"Page Up", true, static_cast<std::uint32_t>(KEY_PPAGE), 18688, 0, 73},
      {"Page Down", true, static_cast<std::uint32_t>(KEY_NPAGE), 20736, 0, 81},
      {"Insert", true, static_cast<std::uint32_t>(KEY_IC), 20992, 0, 82},
      {"Delete", true, static_cast<std::uint32_t>(KEY_DC), 21248, 0, 83},
      {"F1", true, static_cast<std::uint32_t>(KEY_F(1)), 15104, 0, 59},
      {"F10", true, static_cast<std::uint32_t>(KEY_F(10)), 17408, 0, 68},
      {"e acute", false, 0xE9, 130, 130, 0},
      {"pound sign", false, 0xA3, 156, 156, 0},
  };
  for (const Case& c : cases) {
    TerminalKey key;
    ASSERT_TRUE(terminal_key(c.function_key, c.value, key)) << c.name;
    EXPECT_EQ(key.code, c.code) << c.name;
    EXPECT_EQ(key.typed.character, c.character) << c.name;
    EXPECT_EQ(key.typed.scan, c.scan) << c.name;
  }
}

TEST(TerminalKeys, InputWithoutAConsoleKeyIsPassedOver) {
  struct Case {
    const char* name;
    bool function_key;
    std::uint32_t value;
  };
  const std::vector<Case> cases = {
      {"NUL", false, 0},
      {"byte 28", false, 28},
      {"byte 31", false, 31},
      {"F11", true, static_cast<std::uint32_t>(KEY_F(11))},
      {"resize", true, static_cast<std::uint32_t>(KEY_RESIZE)},
      {"character outside code page 437", false, 0x20AC},
  };
  for (const Case& c : cases) {
    TerminalKey key;
    EXPECT_FALSE(terminal_key(c.function_key, c.value, key)) << c.name;
  }
}

// Escape and a letter in one go is Alt with that letter: the letter's code in
// the event queue, the letter's scan code typed, so no line entry takes it.
TEST(TerminalKeys, EscapeThenALetterIsAltWithTheLetter) {
  struct Case {
    std::uint32_t value;
    bool alt;
    std::int32_t code;
    std::uint8_t scan;
  };
  const std::vector<Case> cases = {
      {'a', true, 'a', 30}, {'X', true, 'X', 45}, {'q', true, 'q', 16}, {'m', true, 'm', 50},
      {'1', false, 0, 0},   {'[', false, 0, 0},   {0xE9, false, 0, 0},
  };
  for (const Case& c : cases) {
    TerminalKey key;
    ASSERT_EQ(terminal_alt_key(c.value, key), c.alt) << c.value;
    if (!c.alt) continue;
    EXPECT_EQ(key.code, c.code);
    EXPECT_EQ(key.typed.character, 0);
    EXPECT_EQ(key.typed.scan, c.scan);
  }
}

TEST(Cp437, GlyphsOfEachRangeAndTheWayBack) {
  struct Case {
    std::uint8_t code;
    char32_t glyph;
  };
  const std::vector<Case> cases = {
      {0, U' '},   {1, U'☺'},   {31, U'▼'},   {32, U' '},    {65, U'A'},   {126, U'~'}, {127, U'⌂'},
      {128, U'Ç'}, {158, U'₧'}, {176, U'░'},  {205, U'═'},   {224, U'α'},  {254, U'■'}, {255, U'\u00A0'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp437_glyph(c.code), c.glyph) << int(c.code);
    if (c.code >= 32) {
      EXPECT_EQ(cp437_code(c.glyph), c.code) << int(c.code);
    }
  }
}

}  // namespace
}  // namespace pat
