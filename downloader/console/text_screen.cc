#include "downloader/console/text_screen.h"

#include <algorithm>

#include "downloader/run_error.h"

namespace pat {

namespace {

constexpr std::array<std::uint32_t, 16> standard_palette = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA,
    0xFFAA5500, 0xFFAAAAAA, 0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF,
    0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF};

// The largest width the 16-bit column count can hold.
constexpr int max_columns = 0xFFFF;

}  // namespace

std::uint32_t rgb32_colour(int red, int green, int blue) {
  auto part = [](int value) {
    return static_cast<std::uint32_t>(std::clamp(value, 0, 255));
  };
  return 0xFF000000u | part(red) << 16 | part(green) << 8 | part(blue);
}

TextScreen::TextScreen() : cells(static_cast<std::size_t>(columns) * rows), palette(standard_palette) {}

std::uint8_t TextScreen::blank_attribute() const {
  int attribute = (foreground & 15) | (background & 7) << 4;
  if (foreground >= 16) attribute |= 128;
  return static_cast<std::uint8_t>(attribute);
}

void TextScreen::screen_statement(int mode) {
  // Text mode is the only mode there is, and the screen is always in it.
  if (mode != 0) raise_error(err::illegal_function_call);
}

void TextScreen::width_statement(int new_columns) {
  if (new_columns < 1 || new_columns > max_columns) raise_error(err::illegal_function_call);
  columns = static_cast<std::uint16_t>(new_columns);
  cells.assign(static_cast<std::size_t>(columns) * rows, ScreenCell{});
  foreground = 7;
  background = 0;
  palette = standard_palette;
  cursor_row = 1;
  cursor_column = 1;
  scroll_top = 1;
  scroll_bottom = rows - 1;
  wrap_pending = false;
}

void TextScreen::set_palette_colour(int number, std::uint32_t colour) {
  if (number < 0 || number > 255) raise_error(err::illegal_function_call);
  // Numbers past the 16 text colours are valid but have no entry to change.
  if (number < static_cast<int>(palette.size())) palette[static_cast<std::size_t>(number)] = colour;
}

void TextScreen::colour_statement(int fore, int back) {
  if (fore < 0 || fore > 31 || back < 0 || back > 15) raise_error(err::illegal_function_call);
  foreground = fore;
  background = back >= 8 ? back - 8 : back;
}

void TextScreen::clear_screen() {
  ScreenCell blank{32, blank_attribute()};
  auto clear_row = [&](int row) {
    for (int column = 1; column <= columns; ++column) cell(row, column) = blank;
  };
  for (int row = scroll_top; row <= scroll_bottom; ++row) clear_row(row);
  if (scroll_bottom != rows) clear_row(rows);
  cursor_row = scroll_top;
  cursor_column = 1;
}

void TextScreen::locate_cursor(int row, int column) {
  bool row_ok = row >= scroll_top && (row == rows || row <= scroll_bottom);
  if (!row_ok || column < 1 || column > columns) raise_error(err::illegal_function_call);
  cursor_row = row;
  cursor_column = column;
  wrap_pending = false;
}

void TextScreen::new_line() {
  ++cursor_row;
  cursor_column = 1;
  if (cursor_row <= scroll_bottom) return;
  auto first = cells.begin() + static_cast<std::ptrdiff_t>(scroll_top) * columns;
  auto end = cells.begin() + static_cast<std::ptrdiff_t>(scroll_bottom) * columns;
  std::copy(first, end, first - columns);
  std::fill(end - columns, end, ScreenCell{32, blank_attribute()});
  cursor_row = scroll_bottom;
}

void TextScreen::print_fit_check(std::string_view text) {
  if (wrap_pending || cursor_column == 1) return;
  if (cursor_column + static_cast<long>(text.size()) - 1 <= columns) return;
  new_line();
}

void TextScreen::print_to_screen(std::string_view text, bool line_end) {
  if (wrap_pending) {
    // An empty text with a line end leaves the one line end below to do the move.
    if (!text.empty()) {
      wrap_pending = false;
      new_line();
    } else if (line_end) {
      wrap_pending = false;
    }
  }

  bool wrapped_last = false;
  // Writes one byte at the cursor; more_follows decides whether passing the
  // last column wraps now or waits for the next print.
  auto write = [&](std::uint8_t byte, bool more_follows) {
    wrapped_last = false;  // only the last byte written decides
    cell(cursor_row, cursor_column) = ScreenCell{byte, blank_attribute()};
    ++cursor_column;
    if (cursor_column <= columns) return;
    if (more_follows) {
      new_line();
      wrapped_last = true;
    } else {
      cursor_column = columns;
      wrap_pending = true;
    }
  };

  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<std::uint8_t>(text[i]);
    bool more_after = i + 1 < text.size() || line_end;
    wrapped_last = false;
    switch (byte) {
      case 7:
        if (on_bell) on_bell();
        break;
      case 9: {
        int column = 0;
        do {
          column = cursor_column;
          bool last_blank = column % 8 == 0;
          write(32, !last_blank || more_after);
        } while (column % 8 != 0);
        break;
      }
      case 10:
      case 13:
        new_line();
        break;
      case 11:
        cursor_row = scroll_top;
        cursor_column = 1;
        break;
      case 12:
        clear_screen();
        break;
      case 28:
        if (cursor_column < columns) {
          ++cursor_column;
        } else if (cursor_row != scroll_bottom && cursor_row < rows) {
          ++cursor_row;
          cursor_column = 1;
        }
        break;
      case 29:
        if (cursor_column > 1) {
          --cursor_column;
        } else if (cursor_row != scroll_top && cursor_row > 1) {
          --cursor_row;
          cursor_column = columns;
        }
        break;
      case 30:
        if (cursor_row != scroll_top && cursor_row > 1) --cursor_row;
        break;
      case 31:
        if (cursor_row != scroll_bottom && cursor_row < rows) ++cursor_row;
        break;
      default:
        write(byte, more_after);
        break;
    }
  }

  if (line_end && !wrapped_last) new_line();
}

void TextScreen::set_scroll_region(int top, int bottom) {
  if (top < 1 || top > bottom || bottom > rows) raise_error(err::illegal_function_call);
  scroll_top = top;
  scroll_bottom = bottom;
  cursor_row = top;
  cursor_column = 1;
  wrap_pending = false;
}

}  // namespace pat
