// Without the window build there is no window picture to test.
#ifdef PAT_HAVE_WINDOW

#include "downloader/console/window_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/console/window_font.h"

namespace pat {
namespace {

constexpr std::uint32_t white = 0xFFFFFFFF;
constexpr std::uint32_t black = 0xFF000000;

// The screen as the program sets it up: 100 x 25, black on pure white.
class WindowPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen.width_statement(100);
    screen.set_palette_colour(7, rgb32_colour(255, 255, 255));
    screen.colour_statement(0, 7);
    screen.clear_screen();
  }
  WindowPicture draw(const BoxContent* box = nullptr, bool cursor_shown = true) {
    WindowPicture picture;
    make_window_picture(screen, screen.columns, screen.rows, box, cursor_shown, picture);
    return picture;
  }
  // The cell's 8 x 16 pixels, one string a pixel row: '#' foreground, '.' the given background.
  static std::vector<std::string> cell_pixels(const WindowPicture& p, int row, int column,
                                              std::uint32_t fore) {
    std::vector<std::string> rows;
    for (int y = 0; y < 16; ++y) {
      std::string line;
      for (int x = 0; x < 8; ++x) line += p.at((column - 1) * 8 + x, (row - 1) * 16 + y) == fore ? '#' : '.';
      rows.push_back(line);
    }
    return rows;
  }
  static std::vector<std::string> glyph_pixels(std::uint8_t code) {
    std::vector<std::string> rows;
    for (int y = 0; y < 16; ++y) {
      std::string line;
      for (int x = 0; x < 8; ++x) line += (window_font[code][y] & (0x80 >> x)) ? '#' : '.';
      rows.push_back(line);
    }
    return rows;
  }
  static int count(const WindowPicture& p, int row, std::uint32_t colour) {
    int n = 0;
    for (int y = (row - 1) * 16; y < row * 16; ++y)
      for (int x = 0; x < p.width; ++x) n += p.at(x, y) == colour;
    return n;
  }
  TextScreen screen;
};

TEST_F(WindowPictureTest, EachCellIsItsGlyphInItsColours) {
  screen.locate_cursor(1, 1);
  screen.print_to_screen("A", false);
  screen.cell(2, 3) = ScreenCell{1, 0x1E};    // yellow smiling face on blue
  screen.cell(2, 4) = ScreenCell{0, 0x70};    // code 0: a blank
  screen.cell(2, 5) = ScreenCell{'B', 0x8C};  // blinking light red on black, shown steady
  const WindowPicture p = draw();

  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 400);
  EXPECT_EQ(cell_pixels(p, 1, 1, black), glyph_pixels('A'));
  EXPECT_EQ(p.at(0, 0), white);  // the glyph's blank top row on the background
  EXPECT_EQ(cell_pixels(p, 2, 3, 0xFFFFFF55), glyph_pixels(1));
  EXPECT_EQ(p.at(2 * 8, 16), 0xFF0000AA);
  EXPECT_EQ(cell_pixels(p, 2, 4, black), glyph_pixels(' '));
  EXPECT_EQ(cell_pixels(p, 2, 5, 0xFFFF5555), glyph_pixels('B'));
  EXPECT_EQ(count(p, 25, white), 800 * 16);  // an empty row is all background
}

TEST_F(WindowPictureTest, TheCursorLineBlinksOnTheSecondLowestPixelRow) {
  screen.cell(3, 5) = ScreenCell{' ', 0x1E};
  screen.locate_cursor(3, 5);
  struct Case {
    const char* name;
    bool visible;
    bool phase;
    bool line;
  };
  const std::vector<Case> cases = {
      {"visible, shown phase", true, true, true},
      {"visible, hidden phase", true, false, false},
      {"not visible", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    screen.cursor_visible = c.visible;
    const WindowPicture p = draw(nullptr, c.phase);
    const std::vector<std::string> cell = cell_pixels(p, 3, 5, 0xFFFFFF55);
    for (int y = 0; y < 16; ++y) {
      EXPECT_EQ(cell[static_cast<std::size_t>(y)], (c.line && y == 14) ? "########" : "........") << y;
    }
    // Its neighbours keep their background.
    EXPECT_EQ(p.at(3 * 8, 2 * 16 + 14), white);
    EXPECT_EQ(p.at(5 * 8, 2 * 16 + 14), white);
  }
}

TEST_F(WindowPictureTest, ABoxStandsOverTheScreenWithoutTheCursor) {
  screen.cursor_visible = true;
  screen.locate_cursor(13, 50);
  const WindowPicture plain = draw();
  EXPECT_EQ(count(plain, 13, black), 8);  // the cursor line alone

  const BoxContent box{"Unhandled Error #5", "An error arose.\nContinue?", true};
  const WindowPicture boxed = draw(&box);
  EXPECT_EQ(boxed.width, 800);
  EXPECT_EQ(boxed.height, 400);
  EXPECT_EQ(count(boxed, 1, black), 0);  // the rows around it untouched
  EXPECT_EQ(count(boxed, 25, black), 0);
  int rows_with_ink = 0;
  for (int row = 2; row <= 24; ++row) rows_with_ink += count(boxed, row, black) > 0;
  EXPECT_GE(rows_with_ink, 8);  // frame, caption, divider, two text lines, answer line
  // No cursor line while the box stands.
  screen.cursor_visible = false;
  EXPECT_EQ(draw(&box).pixels, boxed.pixels);

  // A text longer than the screen is wrapped and cut, never drawn outside.
  const BoxContent wide{std::string(300, 'W'), std::string(500, 'x') + "\n" + std::string(40, '\n'), false};
  const WindowPicture cut = draw(&wide);
  EXPECT_EQ(cut.pixels.size(), 800u * 400u);
}

TEST_F(WindowPictureTest, OnlyTheAskedCellsAreDrawn) {
  screen.locate_cursor(1, 1);
  screen.print_to_screen("Z", false);
  WindowPicture p;
  make_window_picture(screen, 10, 5, nullptr, false, p);
  EXPECT_EQ(p.width, 80);
  EXPECT_EQ(p.height, 80);
  EXPECT_EQ(cell_pixels(p, 1, 1, black), glyph_pixels('Z'));
  make_window_picture(screen, 500, 90, nullptr, false, p);  // at most the screen's own
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 400);
}

}  // namespace
}  // namespace pat

#endif  // PAT_HAVE_WINDOW
