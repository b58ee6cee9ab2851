#include "downloader/console/terminal_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace pat {
namespace {

TEST(TerminalView, RowsAndColumnsShownForTheTerminalsSize) {
  struct Case {
    int terminal_columns, terminal_rows, cursor_row;
    int first_row, rows, columns;
    bool notice;
  };
  // The 100 x 25 screen of a run.
  const std::vector<Case> cases = {
      {100, 25, 25, 1, 25, 100, false},
      {120, 40, 25, 1, 25, 100, false},
      {100, 26, 25, 1, 25, 100, false},
      // 80 x 24: 23 rows and the notice; the view moves only once the
      // cursor would leave it.
      {80, 24, 2, 1, 23, 80, true},
      {80, 24, 23, 1, 23, 80, true},
      {80, 24, 24, 2, 23, 80, true},
      {80, 24, 25, 3, 23, 80, true},
      // Too narrow only: every row, the notice below them.
      {80, 40, 25, 1, 25, 80, true},
      // Too low only: the whole width.
      {100, 24, 25, 3, 23, 100, true},
      {100, 24, 12, 1, 23, 100, true},
      // Tiny terminals.
      {10, 3, 25, 24, 2, 10, true},
      {10, 3, 1, 1, 2, 10, true},
      {10, 2, 15, 15, 1, 10, true},
      {1, 1, 25, 1, 0, 1, true},
      {0, 0, 25, 1, 0, 0, false},
      // A cursor outside the screen counts as its nearest row.
      {80, 24, 0, 1, 23, 80, true},
      {80, 24, 99, 3, 23, 80, true},
  };
  for (const Case& c : cases) {
    const TerminalView view = terminal_view(25, 100, c.terminal_rows, c.terminal_columns, c.cursor_row);
    const std::string name = std::to_string(c.terminal_columns) + " x " + std::to_string(c.terminal_rows) +
                             ", cursor on row " + std::to_string(c.cursor_row);
    EXPECT_EQ(view.first_row, c.first_row) << name;
    EXPECT_EQ(view.rows, c.rows) << name;
    EXPECT_EQ(view.columns, c.columns) << name;
    EXPECT_EQ(view.notice, c.notice) << name;
  }
}

TEST(TerminalView, NoticeAndResizeRequestText) {
  EXPECT_EQ(size_notice(25, 100, 24, 80), "Needs 100 x 25, this terminal is 80 x 24");
  EXPECT_EQ(resize_request(25, 100), "\x1b[8;25;100t");
}

}  // namespace
}  // namespace pat
