#include "downloader/console/terminal_view.h"

#include <algorithm>

namespace pat {

TerminalView terminal_view(int screen_rows, int screen_columns, int terminal_rows,
                           int terminal_columns, int cursor_row) {
  TerminalView view;
  screen_rows = std::max(screen_rows, 0);
  screen_columns = std::max(screen_columns, 0);
  terminal_rows = std::max(terminal_rows, 0);
  terminal_columns = std::max(terminal_columns, 0);
  view.columns = std::min(screen_columns, terminal_columns);
  if (terminal_rows >= screen_rows && terminal_columns >= screen_columns) {
    view.rows = screen_rows;
    return view;
  }
  view.notice = terminal_rows > 0;
  view.rows = std::min(screen_rows, std::max(terminal_rows - 1, 0));
  if (view.rows == 0) return view;
  const int cursor = std::clamp(cursor_row, 1, std::max(screen_rows, 1));
  // The closing prompt, below the top rows that say how the run ended.
  if (cursor == screen_rows && view.rows < screen_rows) {
    view.last_row = screen_rows;
    return view;
  }
  // The top stays put until the cursor would pass the bottom of the view.
  view.first_row = std::max(1, cursor - view.rows + 1);
  return view;
}

int screen_row(const TerminalView& view, int view_row) {
  if (view.last_row != 0 && view_row == view.rows) return view.last_row;
  return view.first_row + view_row - 1;
}

int view_row(const TerminalView& view, int screen_row) {
  if (view.last_row != 0 && screen_row == view.last_row) return view.rows;
  const int row = screen_row - view.first_row + 1;
  const int above = view.last_row != 0 ? view.rows - 1 : view.rows;
  return row >= 1 && row <= above ? row : 0;
}

std::string size_notice(int screen_rows, int screen_columns, int terminal_rows,
                        int terminal_columns) {
  return "Needs " + std::to_string(screen_columns) + " x " + std::to_string(screen_rows) +
         ", this terminal is " + std::to_string(terminal_columns) + " x " +
         std::to_string(terminal_rows);
}

std::string resize_request(int rows, int columns) {
  return "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t";
}

}  // namespace pat
