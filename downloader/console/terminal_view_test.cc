#include "downloader/console/terminal_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace pat {
namespace {

TEST(TerminalView, RowsAndColumnsShownForTheTerminalsSize) {
  struct Case {
    int terminal_columns, terminal_rows, cursor_row;
    int first_row, rows, columns;
    bool notice;
    int last_row;
  };
  // The 100 x 25 screen of a run.
  const std::vector<Case> cases = {
      {100, 25, 25, 1, 25, 100, false, 0},
      {120, 40, 25, 1, 25, 100, false, 0},
      {100, 26, 25, 1, 25, 100, false, 0},
      // 80 x 24: 23 rows and the notice; the view moves only once the
      // cursor would leave it.
      {80, 24, 2, 1, 23, 80, true, 0},
      {80, 24, 23, 1, 23, 80, true, 0},
      {80, 24, 24, 2, 23, 80, true, 0},
      // The closing prompt: rows 1 to 22, then row 25.
      {80, 24, 25, 1, 23, 80, true, 25},
      // Too narrow only: every row, the notice below them.
      {80, 40, 25, 1, 25, 80, true, 0},
      // Too low only: the whole width.
      {100, 24, 25, 1, 23, 100, true, 25},
      {100, 24, 24, 2, 23, 100, true, 0},
      {100, 24, 12, 1, 23, 100, true, 0},
      // Tiny terminals.
      {10, 3, 25, 1, 2, 10, true, 25},
      {10, 3, 24, 23, 2, 10, true, 0},
      {10, 3, 1, 1, 2, 10, true, 0},
      {10, 2, 15, 15, 1, 10, true, 0},
      {10, 2, 25, 1, 1, 10, true, 25},
      {1, 1, 25, 1, 0, 1, true, 0},
      {0, 0, 25, 1, 0, 0, false, 0},
      // A cursor outside the screen counts as its nearest row.
      {80, 24, 0, 1, 23, 80, true, 0},
      {80, 24, 99, 1, 23, 80, true, 25},
  };
  for (const Case& c : cases) {
    const TerminalView view = terminal_view(25, 100, c.terminal_rows, c.terminal_columns, c.cursor_row);
    const std::string name = std::to_string(c.terminal_columns) + " x " + std::to_string(c.terminal_rows) +
                             ", cursor on row " + std::to_string(c.cursor_row);
    EXPECT_EQ(view.first_row, c.first_row) << name;
    EXPECT_EQ(view.rows, c.rows) << name;
    EXPECT_EQ(view.columns, c.columns) << name;
    EXPECT_EQ(view.notice, c.notice) << name;
    EXPECT_EQ(view.last_row, c.last_row) << name;
  }
}

// Both ways between the view's rows and the screen's, for each screen row.
TEST(TerminalView, ScreenRowsOnTheViewsRows) {
  struct Case {
    int terminal_rows, cursor_row;
    std::vector<int> shown;  // the screen rows, top to bottom
  };
  auto from = [](int first, int last) {
    std::vector<int> rows;
    for (int row = first; row <= last; ++row) rows.push_back(row);
    return rows;
  };
  std::vector<int> closing = from(1, 22);
  closing.push_back(25);
  const std::vector<Case> cases = {
      {25, 25, from(1, 25)},
      {24, 24, from(2, 24)},
      {24, 25, closing},
      {3, 25, {1, 25}},
      {2, 25, {25}},
      {1, 25, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.terminal_rows) + " rows, cursor on row " + std::to_string(c.cursor_row));
    const TerminalView view = terminal_view(25, 100, c.terminal_rows, 100, c.cursor_row);
    std::vector<int> shown;
    for (int row = 1; row <= view.rows; ++row) shown.push_back(screen_row(view, row));
    EXPECT_EQ(shown, c.shown);
    for (int row = 1; row <= 25; ++row) {
      const auto at = std::find(c.shown.begin(), c.shown.end(), row);
      const int expected = at == c.shown.end() ? 0 : static_cast<int>(at - c.shown.begin()) + 1;
      EXPECT_EQ(view_row(view, row), expected) << "screen row " << row;
    }
  }
}

TEST(TerminalView, NoticeAndResizeRequestText) {
  EXPECT_EQ(size_notice(25, 100, 24, 80), "Needs 100 x 25, this terminal is 80 x 24");
  EXPECT_EQ(resize_request(25, 100), "\x1b[8;25;100t");
}

}  // namespace
}  // namespace pat
