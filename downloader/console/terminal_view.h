#pragma once

#include <string>

// Which part of the screen a terminal shows. A terminal smaller than the
// screen shows the rows around the cursor, so the current question stays in
// sight, and keeps its last row for a notice of the size it lacks. At the
// closing prompt, on the screen's last row, it shows the screen's top rows
// above the prompt: there the closing screens say how the run ended.

namespace pat {

struct TerminalView {
  int first_row = 1;    // the screen row on the terminal's top row
  int rows = 0;         // screen rows shown, from first_row on
  int columns = 0;      // screen columns shown, from column 1
  bool notice = false;  // the terminal's last row carries the size notice
  int last_row = 0;     // when not 0, the screen row on the view's last row
};

// Sizes in cells; cursor_row counts from 1.
TerminalView terminal_view(int screen_rows, int screen_columns, int terminal_rows,
                           int terminal_columns, int cursor_row);

// The screen row on the view's row (both from 1).
int screen_row(const TerminalView& view, int view_row);
// The view's row that shows the screen row; 0 when none does.
int view_row(const TerminalView& view, int screen_row);

// "Needs 100 x 25, this terminal is 80 x 24".
std::string size_notice(int screen_rows, int screen_columns, int terminal_rows,
                        int terminal_columns);

// The xterm request to resize the window to that many cells.
std::string resize_request(int rows, int columns);

}  // namespace pat
