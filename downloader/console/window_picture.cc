#include "downloader/console/window_picture.h"

#include <algorithm>

#include "downloader/console/window_font.h"

namespace pat {

namespace {

// Code page 437's double frame and single divider.
constexpr std::uint8_t frame_top_left = 201, frame_top_right = 187, frame_bottom_left = 200,
                       frame_bottom_right = 188, frame_across = 205, frame_down = 186,
                       divider_left = 199, divider_right = 182, divider_across = 196;

constexpr std::uint8_t box_attribute = 0x70;      // colour 0 on colour 7
constexpr std::uint8_t caption_attribute = 0x07;  // colour 7 on colour 0

// Lays the box over the cells, centred; what does not fit is cut.
void lay_box(const BoxContent& box, int columns, int rows, std::vector<ScreenCell>& cells) {
  const BoxLayout layout = lay_out_box(box, columns, rows, AnswerLine::after_blank_line);
  const int top = layout.top;
  const int left = layout.left;
  const int right = left + layout.width - 1;

  auto put = [&](int row, int column, std::uint8_t character, std::uint8_t attribute) {
    if (row < 0 || row >= rows || column < 0 || column >= columns) return;
    cells[static_cast<std::size_t>(row) * columns + column] = ScreenCell{character, attribute};
  };
  auto rule = [&](int row, std::uint8_t first, std::uint8_t across, std::uint8_t last) {
    put(row, left, first, box_attribute);
    for (int column = left + 1; column < right; ++column) put(row, column, across, box_attribute);
    put(row, right, last, box_attribute);
  };
  auto text_row = [&](int row, const std::string& text, std::uint8_t attribute) {
    put(row, left, frame_down, box_attribute);
    for (int column = left + 1; column < right; ++column) put(row, column, ' ', attribute);
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
      put(row, left + 2 + i, static_cast<std::uint8_t>(text[static_cast<std::size_t>(i)]), attribute);
    }
    put(row, right, frame_down, box_attribute);
  };

  rule(top, frame_top_left, frame_across, frame_top_right);
  text_row(top + 1, layout.caption, caption_attribute);
  rule(top + 2, divider_left, divider_across, divider_right);
  for (std::size_t i = 0; i < layout.lines.size(); ++i) {
    text_row(top + 3 + static_cast<int>(i), layout.lines[i], box_attribute);
  }
  rule(top + layout.height - 1, frame_bottom_left, frame_across, frame_bottom_right);
}

}  // namespace

void make_window_picture(const TextScreen& screen, int columns, int rows, const BoxContent* box,
                         bool cursor_shown, WindowPicture& picture) {
  columns = std::clamp<int>(columns, 0, screen.columns);
  rows = std::clamp<int>(rows, 0, screen.rows);
  std::vector<ScreenCell> cells(static_cast<std::size_t>(columns) * rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      cells[static_cast<std::size_t>(row) * columns + column] = screen.cell(row + 1, column + 1);
    }
  }
  if (box != nullptr) lay_box(*box, columns, rows, cells);

  picture.width = columns * glyph_width;
  picture.height = rows * glyph_height;
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height);
  auto colour = [&](int number) { return screen.palette[static_cast<std::size_t>(number)] | 0xFF000000u; };

  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const ScreenCell cell = cells[static_cast<std::size_t>(row) * columns + column];
      // Bit 7 marks a blinking colour; the window shows it steady.
      const std::uint32_t fore = colour(cell.attribute & 15);
      const std::uint32_t back = colour(cell.attribute >> 4 & 7);
      const std::uint8_t* glyph = window_font[cell.character];
      std::uint32_t* out = &picture.pixels[static_cast<std::size_t>(row) * glyph_height * picture.width +
                                           static_cast<std::size_t>(column) * glyph_width];
      for (int y = 0; y < glyph_height; ++y, out += picture.width) {
        const unsigned bits = glyph[y];
        for (int x = 0; x < glyph_width; ++x) out[x] = (bits & (0x80u >> x)) ? fore : back;
      }
    }
  }

  const bool cursor = box == nullptr && cursor_shown && screen.cursor_visible &&
                      screen.cursor_row >= 1 && screen.cursor_row <= rows &&
                      screen.cursor_column >= 1 && screen.cursor_column <= columns;
  if (cursor) {
    const ScreenCell cell = cells[static_cast<std::size_t>(screen.cursor_row - 1) * columns +
                                  (screen.cursor_column - 1)];
    const std::uint32_t fore = colour(cell.attribute & 15);
    const int y = (screen.cursor_row - 1) * glyph_height + glyph_height - 2;
    std::uint32_t* out = &picture.pixels[static_cast<std::size_t>(y) * picture.width +
                                         static_cast<std::size_t>(screen.cursor_column - 1) * glyph_width];
    std::fill(out, out + glyph_width, fore);
  }
}

}  // namespace pat
