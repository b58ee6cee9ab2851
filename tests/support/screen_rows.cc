#include "tests/support/screen_rows.h"

#include "downloader/console/text_screen.h"

namespace pat::test {

std::string row_text(const Console& console, int row) {
  const TextScreen screen = console.screen_copy();
  std::string text;
  if (row < 1 || row > screen.rows) return text;
  text.reserve(screen.columns);
  for (int column = 1; column <= screen.columns; ++column) {
    text.push_back(static_cast<char>(screen.cell(row, column).character));
  }
  return text;
}

}  // namespace pat::test
