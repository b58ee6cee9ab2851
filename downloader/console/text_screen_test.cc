#include "downloader/console/text_screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "downloader/run_error.h"

namespace pat {
namespace {

// The run frame's set-up: 100 x 25, black on pure white, cleared.
TextScreen set_up_screen() {
  TextScreen screen;
  screen.screen_statement(0);
  screen.width_statement(100);
  screen.set_palette_colour(7, rgb32_colour(255, 255, 255));
  screen.colour_statement(0, 7);
  screen.clear_screen();
  return screen;
}

std::string row_string(const TextScreen& screen, int row) {
  std::string text;
  for (int column = 1; column <= screen.columns; ++column) {
    text.push_back(static_cast<char>(screen.cell(row, column).character));
  }
  return text;
}

// Every row r filled with its own letter, so moves and scrolls show.
void fill_rows(TextScreen& screen) {
  for (int row = 1; row <= screen.rows; ++row) {
    for (int column = 1; column <= screen.columns; ++column) {
      screen.cell(row, column).character = static_cast<std::uint8_t>('A' + row - 1);
    }
  }
}

std::string letters(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>('a' + i % 26));
  return text;
}

// The text, read from a start cell onwards, row after row.
std::string read_from(const TextScreen& screen, int row, int column, std::size_t length) {
  std::string text;
  while (text.size() < length && row <= screen.rows) {
    text.push_back(static_cast<char>(screen.cell(row, column).character));
    if (++column > screen.columns) {
      column = 1;
      ++row;
    }
  }
  return text;
}

bool same_screen(const TextScreen& a, const TextScreen& b) {
  if (a.columns != b.columns || a.rows != b.rows || a.foreground != b.foreground ||
      a.background != b.background || a.cursor_row != b.cursor_row ||
      a.cursor_column != b.cursor_column || a.scroll_top != b.scroll_top ||
      a.scroll_bottom != b.scroll_bottom || a.wrap_pending != b.wrap_pending ||
      a.palette != b.palette || a.cells.size() != b.cells.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.cells.size(); ++i) {
    if (a.cells[i].character != b.cells[i].character || a.cells[i].attribute != b.cells[i].attribute) {
      return false;
    }
  }
  return true;
}

TEST(TextScreenSetUp, StartScreenIsEightyColumnsInSevenOnZero) {
  TextScreen screen;
  EXPECT_EQ(screen.columns, 80);
  EXPECT_EQ(screen.rows, 25);
  ASSERT_EQ(screen.cells.size(), 80u * 25u);
  for (const ScreenCell& cell : screen.cells) {
    EXPECT_EQ(cell.character, 32);
    EXPECT_EQ(cell.attribute, 7);
  }
  EXPECT_EQ(screen.scroll_top, 1);
  EXPECT_EQ(screen.scroll_bottom, 24);
  EXPECT_EQ(screen.palette[0], 0xFF000000u);
  EXPECT_EQ(screen.palette[6], 0xFFAA5500u);
  EXPECT_EQ(screen.palette[7], 0xFFAAAAAAu);
  EXPECT_EQ(screen.palette[9], 0xFF5555FFu);
  EXPECT_EQ(screen.palette[15], 0xFFFFFFFFu);
}

TEST(TextScreenSetUp, SetUpGivesBlackOnPureWhiteHundredColumns) {
  TextScreen screen = set_up_screen();
  EXPECT_EQ(screen.columns, 100);
  EXPECT_EQ(screen.rows, 25);
  ASSERT_EQ(screen.cells.size(), 2500u);
  for (const ScreenCell& cell : screen.cells) {
    EXPECT_EQ(cell.character, 32);
    EXPECT_EQ(cell.attribute, 112);
  }
  EXPECT_EQ(screen.palette[7], 0xFFFFFFFFu);
  EXPECT_EQ(screen.foreground, 0);
  EXPECT_EQ(screen.background, 7);
  EXPECT_EQ(screen.cursor_row, 1);
  EXPECT_EQ(screen.cursor_column, 1);
  EXPECT_EQ(screen.scroll_top, 1);
  EXPECT_EQ(screen.scroll_bottom, 24);
  EXPECT_FALSE(screen.wrap_pending);
  EXPECT_FALSE(screen.cursor_visible);
}

TEST(TextScreenSetUp, WidthStatementStartsAFreshScreen) {
  TextScreen screen = set_up_screen();
  screen.print_to_screen(letters(150), false);
  screen.set_scroll_region(25, 25);
  screen.width_statement(40);
  EXPECT_EQ(screen.columns, 40);
  EXPECT_EQ(screen.cells.size(), 40u * 25u);
  for (const ScreenCell& cell : screen.cells) {
    EXPECT_EQ(cell.character, 32);
    EXPECT_EQ(cell.attribute, 7);
  }
  EXPECT_EQ(screen.palette[7], 0xFFAAAAAAu);
  EXPECT_EQ(screen.foreground, 7);
  EXPECT_EQ(screen.background, 0);
  EXPECT_EQ(screen.cursor_row, 1);
  EXPECT_EQ(screen.cursor_column, 1);
  EXPECT_EQ(screen.scroll_top, 1);
  EXPECT_EQ(screen.scroll_bottom, 24);
  EXPECT_FALSE(screen.wrap_pending);
}

TEST(TextScreenColours, Rgb32CutsEachComponentAndSetsFullOpacity) {
  struct Case {
    int red, green, blue;
    std::uint32_t expected;
  };
  const std::vector<Case> cases = {
      {255, 255, 255, 0xFFFFFFFF}, {0, 0, 0, 0xFF000000},     {1, 2, 3, 0xFF010203},
      {-5, 300, 16, 0xFF00FF10},   {256, -1, 255, 0xFFFF00FF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rgb32_colour(c.red, c.green, c.blue), c.expected) << c.red << "," << c.green << "," << c.blue;
  }
}

TEST(TextScreenColours, ColourStatementRangesAndAttribute) {
  struct Case {
    int fore, back;
    int stored_back;
    std::uint8_t attribute;
  };
  const std::vector<Case> cases = {
      {0, 7, 7, 112}, {7, 0, 0, 7}, {15, 15, 7, 127}, {0, 8, 0, 0}, {16, 1, 1, 128 | 16}, {31, 7, 7, 255},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.colour_statement(c.fore, c.back);
    EXPECT_EQ(screen.foreground, c.fore);
    EXPECT_EQ(screen.background, c.stored_back) << c.fore << " on " << c.back;
    EXPECT_EQ(screen.blank_attribute(), c.attribute) << c.fore << " on " << c.back;
    // Cells already shown keep their colours; new ones take the current.
    EXPECT_EQ(screen.cell(1, 1).attribute, 112);
    screen.print_to_screen("x", false);
    EXPECT_EQ(screen.cell(1, 1).attribute, c.attribute);
  }
}

TEST(TextScreenColours, PaletteNumbersPastTheTextColoursAreAccepted) {
  TextScreen screen = set_up_screen();
  auto palette = screen.palette;
  screen.set_palette_colour(255, 0xFF123456);
  screen.set_palette_colour(16, 0xFF123456);
  EXPECT_EQ(screen.palette, palette);
  screen.set_palette_colour(15, 0xFF123456);
  EXPECT_EQ(screen.palette[15], 0xFF123456u);
}

TEST(TextScreenErrors, ArgumentsOutOfRangeRaiseFiveAndChangeNothing) {
  struct Case {
    const char* name;
    std::function<void(TextScreen&)> call;
  };
  const std::vector<Case> cases = {
      {"width 0", [](TextScreen& s) { s.width_statement(0); }},
      {"width -1", [](TextScreen& s) { s.width_statement(-1); }},
      {"palette -1", [](TextScreen& s) { s.set_palette_colour(-1, 0); }},
      {"palette 256", [](TextScreen& s) { s.set_palette_colour(256, 0); }},
      {"foreground 32", [](TextScreen& s) { s.colour_statement(32, 7); }},
      {"foreground -1", [](TextScreen& s) { s.colour_statement(-1, 7); }},
      {"background 16", [](TextScreen& s) { s.colour_statement(0, 16); }},
      {"background -1", [](TextScreen& s) { s.colour_statement(0, -1); }},
      {"locate row 0", [](TextScreen& s) { s.locate_cursor(0, 1); }},
      {"locate row 26", [](TextScreen& s) { s.locate_cursor(26, 1); }},
      {"locate column 0", [](TextScreen& s) { s.locate_cursor(2, 0); }},
      {"locate column 101", [](TextScreen& s) { s.locate_cursor(2, 101); }},
      {"region top 0", [](TextScreen& s) { s.set_scroll_region(0, 24); }},
      {"region top above bottom", [](TextScreen& s) { s.set_scroll_region(5, 4); }},
      {"region bottom 26", [](TextScreen& s) { s.set_scroll_region(1, 26); }},
      {"screen mode 1", [](TextScreen& s) { s.screen_statement(1); }},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.print_to_screen(letters(130), false);
    TextScreen before = screen;
    try {
      c.call(screen);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const RunError& error) {
      EXPECT_EQ(error.number, err::illegal_function_call) << c.name;
    }
    EXPECT_TRUE(same_screen(screen, before)) << c.name << ": the screen changed";
  }
}

TEST(TextScreenLocate, RowMustLieInTheScrollRegionOrBeTheLastRow) {
  struct Case {
    int top, bottom, row;
    bool allowed;
  };
  const std::vector<Case> cases = {
      {1, 24, 1, true},   {1, 24, 24, true},   {1, 24, 25, true},  {3, 10, 2, false},
      {3, 10, 3, true},   {3, 10, 10, true},   {3, 10, 11, false}, {3, 10, 25, true},
      {25, 25, 24, false}, {25, 25, 25, true},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.set_scroll_region(c.top, c.bottom);
    screen.print_to_screen(letters(100), false);  // leaves wrap_pending set
    if (c.allowed) {
      screen.locate_cursor(c.row, 100);
      EXPECT_EQ(screen.cursor_row, c.row);
      EXPECT_EQ(screen.cursor_column, 100);
      EXPECT_FALSE(screen.wrap_pending);
    } else {
      EXPECT_THROW(screen.locate_cursor(c.row, 1), RunError)
          << "region " << c.top << "-" << c.bottom << " row " << c.row;
    }
  }
}

TEST(TextScreenPrint, TextLandsInReadingOrderAndLeavesTheCursor) {
  struct Case {
    const char* name;
    int column;
    std::size_t length;
    bool line_end;
    int row_after, column_after;
    bool wrap_after;
  };
  const std::vector<Case> cases = {
      {"full row with line end", 1, 100, true, 2, 1, false},
      {"full row without line end", 1, 100, false, 1, 100, true},
      {"one past a row with line end", 1, 101, true, 3, 1, false},
      {"one past a row without line end", 1, 101, false, 2, 2, false},
      {"rest of the row exactly", 91, 10, false, 1, 100, true},
      {"rest of the row exactly with line end", 91, 10, true, 2, 1, false},
      {"wraps in the middle", 95, 10, false, 2, 5, false},
      {"last column alone", 100, 1, false, 1, 100, true},
      {"empty with line end", 50, 0, true, 2, 1, false},
      {"empty without line end", 50, 0, false, 1, 50, false},
      {"two full rows with line end", 1, 200, true, 3, 1, false},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.locate_cursor(1, c.column);
    std::string text = letters(c.length);
    screen.print_to_screen(text, c.line_end);
    EXPECT_EQ(read_from(screen, 1, c.column, text.size()), text) << c.name;
    EXPECT_EQ(screen.cursor_row, c.row_after) << c.name;
    EXPECT_EQ(screen.cursor_column, c.column_after) << c.name;
    EXPECT_EQ(screen.wrap_pending, c.wrap_after) << c.name;
  }
}

TEST(TextScreenPrint, PendingWrapMovesOnlyOnceForTheNextPrint) {
  TextScreen screen = set_up_screen();
  screen.print_to_screen(letters(100), false);
  ASSERT_TRUE(screen.wrap_pending);

  TextScreen empty_print = screen;
  empty_print.print_to_screen("", false);
  EXPECT_TRUE(empty_print.wrap_pending);
  EXPECT_EQ(empty_print.cursor_row, 1);

  TextScreen next_text = screen;
  next_text.print_to_screen("X", false);
  EXPECT_EQ(next_text.cell(2, 1).character, 'X');
  EXPECT_EQ(next_text.cell(1, 100).character, 'v');  // letters(100) ends in 'v'
  EXPECT_EQ(next_text.cursor_row, 2);
  EXPECT_EQ(next_text.cursor_column, 2);

  TextScreen line_end = screen;
  line_end.print_to_screen("", true);
  EXPECT_FALSE(line_end.wrap_pending);
  EXPECT_EQ(line_end.cursor_row, 2);
  EXPECT_EQ(line_end.cursor_column, 1);
  line_end.print_to_screen("Y", false);
  EXPECT_EQ(line_end.cell(2, 1).character, 'Y');
}

TEST(TextScreenPrint, FitCheckStartsANewRowOnlyForAPieceThatWouldSplit) {
  struct Case {
    int column;
    std::size_t length;
    bool wrap_pending;
    bool new_row;
  };
  const std::vector<Case> cases = {
      {90, 12, false, true}, {89, 12, false, false}, {1, 150, false, false}, {100, 1, false, false},
      {100, 2, false, true}, {50, 0, false, false},  {100, 5, true, false},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.locate_cursor(3, c.column);
    screen.wrap_pending = c.wrap_pending;
    screen.print_fit_check(letters(c.length));
    EXPECT_EQ(screen.cursor_row, c.new_row ? 4 : 3) << "column " << c.column << " length " << c.length;
    EXPECT_EQ(screen.cursor_column, c.new_row ? 1 : c.column) << "column " << c.column << " length " << c.length;
  }
}

TEST(TextScreenScroll, LineEndBelowTheRegionScrollsItAndSparesRowTwentyFive) {
  for (int start_row : {24, 25}) {
    TextScreen screen = set_up_screen();
    screen.colour_statement(4, 1);
    fill_rows(screen);
    screen.locate_cursor(start_row, 10);
    screen.print_to_screen("", true);
    for (int row = 1; row <= 23; ++row) {
      EXPECT_EQ(row_string(screen, row), std::string(100, static_cast<char>('A' + row))) << "row " << row;
    }
    EXPECT_EQ(row_string(screen, 24), std::string(100, ' '));
    EXPECT_EQ(screen.cell(24, 1).attribute, 4 | 1 << 4);
    EXPECT_EQ(row_string(screen, 25), std::string(100, 'Y'));
    EXPECT_EQ(screen.cursor_row, 24) << "from row " << start_row;
    EXPECT_EQ(screen.cursor_column, 1);
  }
}

TEST(TextScreenScroll, BottomRowRegionClearsOnlyThatRow) {
  TextScreen screen = set_up_screen();
  fill_rows(screen);
  screen.print_to_screen(letters(100), false);
  screen.set_scroll_region(25, 25);
  EXPECT_EQ(screen.cursor_row, 25);
  EXPECT_EQ(screen.cursor_column, 1);
  EXPECT_FALSE(screen.wrap_pending);
  TextScreen before = screen;

  screen.print_to_screen("", true);
  for (int row = 1; row <= 24; ++row) EXPECT_EQ(row_string(screen, row), row_string(before, row)) << row;
  EXPECT_EQ(row_string(screen, 25), std::string(100, ' '));
  EXPECT_EQ(screen.cursor_row, 25);

  screen.print_to_screen("Press any key to continue", false);
  EXPECT_EQ(row_string(screen, 25).substr(0, 26), "Press any key to continue ");
  EXPECT_EQ(screen.cursor_row, 25);
  EXPECT_EQ(screen.cursor_column, 26);
}

TEST(TextScreenScroll, LongTextOnTheLastRegionRowScrolls) {
  TextScreen screen = set_up_screen();
  screen.locate_cursor(24, 1);
  screen.print_to_screen(letters(150), true);
  EXPECT_EQ(row_string(screen, 22), letters(100));
  EXPECT_EQ(row_string(screen, 23).substr(0, 50), letters(150).substr(100));
  EXPECT_EQ(row_string(screen, 24), std::string(100, ' '));
  EXPECT_EQ(screen.cursor_row, 24);
  EXPECT_EQ(screen.cursor_column, 1);
}

TEST(TextScreenClear, ClearsTheRegionAndTheLastRowKeepingWrapPending) {
  struct Case {
    int top, bottom;
    std::vector<int> cleared;
  };
  const std::vector<Case> cases = {
      {1, 24, {}},
      {25, 25, {25}},
      {3, 10, {3, 4, 5, 6, 7, 8, 9, 10, 25}},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    screen.set_scroll_region(c.top, c.bottom);
    fill_rows(screen);
    screen.wrap_pending = true;
    screen.colour_statement(1, 2);
    screen.clear_screen();
    std::vector<int> cleared = c.cleared;
    if (cleared.empty()) {
      for (int row = 1; row <= 25; ++row) cleared.push_back(row);
    }
    for (int row = 1; row <= 25; ++row) {
      bool expect_clear = std::find(cleared.begin(), cleared.end(), row) != cleared.end();
      std::string expected(100, expect_clear ? ' ' : static_cast<char>('A' + row - 1));
      EXPECT_EQ(row_string(screen, row), expected) << "region " << c.top << "-" << c.bottom << " row " << row;
      if (expect_clear) {
        EXPECT_EQ(screen.cell(row, 1).attribute, 1 | 2 << 4);
      }
    }
    EXPECT_EQ(screen.cursor_row, c.top);
    EXPECT_EQ(screen.cursor_column, 1);
    EXPECT_TRUE(screen.wrap_pending);
  }
}

TEST(TextScreenControlBytes, CursorBytesMoveWithinTheRegionAndWriteNothing) {
  struct Case {
    const char* name;
    char byte;
    int row, column;
    int row_after, column_after;
  };
  const std::vector<Case> cases = {
      {"10", 10, 5, 7, 6, 1},
      {"13", 13, 5, 7, 6, 1},
      {"11", 11, 5, 7, 1, 1},
      {"28", 28, 5, 7, 5, 8},
      {"28 at the row end", 28, 5, 100, 6, 1},
      {"28 at the region's last cell", 28, 24, 100, 24, 100},
      {"28 on row 25's last cell", 28, 25, 100, 25, 100},
      {"29", 29, 5, 7, 5, 6},
      {"29 at the row start", 29, 5, 1, 4, 100},
      {"29 at the region's first cell", 29, 1, 1, 1, 1},
      {"30", 30, 5, 7, 4, 7},
      {"30 on the top row", 30, 1, 7, 1, 7},
      {"31", 31, 5, 7, 6, 7},
      {"31 on the bottom row", 31, 24, 7, 24, 7},
      {"31 on row 25", 31, 25, 7, 25, 7},
      {"7", 7, 5, 7, 5, 7},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    int bells = 0;
    screen.on_bell = [&] { ++bells; };
    fill_rows(screen);
    screen.locate_cursor(c.row, c.column);
    TextScreen before = screen;
    screen.print_to_screen(std::string(1, c.byte), false);
    EXPECT_EQ(screen.cursor_row, c.row_after) << c.name;
    EXPECT_EQ(screen.cursor_column, c.column_after) << c.name;
    for (int row = 1; row <= 25; ++row) EXPECT_EQ(row_string(screen, row), row_string(before, row)) << c.name;
    EXPECT_EQ(bells, c.byte == 7 ? 1 : 0) << c.name;
  }
}

TEST(TextScreenControlBytes, FormFeedClearsTheScreen) {
  TextScreen screen = set_up_screen();
  fill_rows(screen);
  screen.locate_cursor(9, 9);
  screen.print_to_screen("\x0c" "ab", false);
  EXPECT_EQ(row_string(screen, 1), "ab" + std::string(98, ' '));
  EXPECT_EQ(row_string(screen, 25), std::string(100, ' '));
  EXPECT_EQ(screen.cursor_row, 1);
  EXPECT_EQ(screen.cursor_column, 3);
}

TEST(TextScreenControlBytes, LineFeedInsideTextThenLineEndGivesTwoMoves) {
  TextScreen screen = set_up_screen();
  screen.print_to_screen("ab\ncd", true);
  EXPECT_EQ(row_string(screen, 1).substr(0, 3), "ab ");
  EXPECT_EQ(row_string(screen, 2).substr(0, 3), "cd ");
  EXPECT_EQ(screen.cursor_row, 3);
  EXPECT_EQ(screen.cursor_column, 1);
}

TEST(TextScreenControlBytes, TabWritesBlanksUpToTheNextMultipleOfEight) {
  struct Case {
    int column;
    int row_after, column_after;
  };
  const std::vector<Case> cases = {
      {1, 3, 9}, {5, 3, 9}, {8, 3, 9}, {9, 3, 17}, {96, 3, 97}, {97, 4, 9},
  };
  for (const Case& c : cases) {
    TextScreen screen = set_up_screen();
    fill_rows(screen);
    screen.locate_cursor(3, c.column);
    screen.print_to_screen("\t", false);
    EXPECT_EQ(screen.cursor_row, c.row_after) << "from column " << c.column;
    EXPECT_EQ(screen.cursor_column, c.column_after) << "from column " << c.column;
    std::size_t blanks = c.row_after == 3 ? static_cast<std::size_t>(c.column_after - c.column)
                                          : static_cast<std::size_t>(100 - c.column + c.column_after);
    EXPECT_EQ(read_from(screen, 3, c.column, blanks), std::string(blanks, ' ')) << "from column " << c.column;
    EXPECT_EQ(read_from(screen, c.row_after, c.column_after, 1), std::string(1, static_cast<char>('A' + c.row_after - 1)))
        << "from column " << c.column;
  }

  TextScreen screen = set_up_screen();
  screen.print_to_screen("a\tb", false);
  EXPECT_EQ(row_string(screen, 1).substr(0, 10), "a       b ");
}

// The wrap inside the tab is not its last byte, so the line end still moves.
TEST(TextScreenControlBytes, TabWrappingPartwayThenLineEnd) {
  TextScreen screen = set_up_screen();
  screen.locate_cursor(3, 97);
  screen.print_to_screen("\t", true);
  EXPECT_EQ(screen.cursor_row, 5);
  EXPECT_EQ(screen.cursor_column, 1);
}

TEST(TextScreenControlBytes, TabEndingOnTheLastColumnWaitsLikeAnyByte) {
  TextScreen screen = set_up_screen();
  screen.width_statement(80);
  screen.locate_cursor(2, 75);
  screen.print_to_screen("\t", false);
  EXPECT_EQ(screen.cursor_row, 2);
  EXPECT_EQ(screen.cursor_column, 80);
  EXPECT_TRUE(screen.wrap_pending);
}

}  // namespace
}  // namespace pat
