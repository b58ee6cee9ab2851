#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// The one text screen: cells, colours, cursor, scroll region and the print,
// wrap and scroll rules. A backend only shows it.

namespace pat {

struct ScreenCell {
  std::uint8_t character = 32;
  std::uint8_t attribute = 7;
};

std::uint32_t rgb32_colour(int red, int green, int blue);

struct TextScreen {
  TextScreen();  // the start screen: 80 x 25, colours 7 on 0

  void screen_statement(int mode);
  void width_statement(int new_columns);
  void set_palette_colour(int number, std::uint32_t colour);
  void colour_statement(int fore, int back);
  void clear_screen();
  void locate_cursor(int row, int column);
  void print_to_screen(std::string_view text, bool line_end);
  void print_fit_check(std::string_view text);
  void new_line();
  void set_scroll_region(int top, int bottom);

  std::uint8_t blank_attribute() const;
  ScreenCell& cell(int row, int column) {  // 1-based
    return cells[static_cast<std::size_t>(row - 1) * columns + (column - 1)];
  }
  const ScreenCell& cell(int row, int column) const {
    return cells[static_cast<std::size_t>(row - 1) * columns + (column - 1)];
  }

  std::uint16_t columns = 80;
  std::uint16_t rows = 25;
  std::vector<ScreenCell> cells;
  int foreground = 7;
  int background = 0;
  int cursor_row = 1;
  int cursor_column = 1;
  int scroll_top = 1;
  int scroll_bottom = 24;
  bool wrap_pending = false;
  bool cursor_visible = false;
  std::array<std::uint32_t, 16> palette{};

  // Byte 7 pauses 250 ms; the console supplies the wait.
  std::function<void()> on_bell;
};

}  // namespace pat
