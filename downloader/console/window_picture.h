#pragma once

#include <cstdint>
#include <vector>

#include "downloader/console/box_layout.h"
#include "downloader/console/text_screen.h"

// The picture of the screen that the window shows: each cell as its 8 x 16
// glyph in its colours, the cursor line, and a modal box over it all.

namespace pat {

constexpr int glyph_width = 8;
constexpr int glyph_height = 16;

struct WindowPicture {
  int width = 0;   // pixels
  int height = 0;
  std::vector<std::uint32_t> pixels;  // row after row from the top, 0xAARRGGBB
  // One pixel, for tests: the backend hands the pixels on whole.
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Draws the first columns x rows cells of the screen (at most the screen's
// own). cursor_shown is the blink phase: the cursor line appears when it and
// the screen's cursor_visible are both set and no box is shown.
void make_window_picture(const TextScreen& screen, int columns, int rows, const BoxContent* box,
                         bool cursor_shown, WindowPicture& picture);

}  // namespace pat
