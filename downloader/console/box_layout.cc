#include "downloader/console/box_layout.h"

#include <algorithm>
#include <cstddef>

namespace pat {

namespace {

std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

BoxLayout lay_out_box(const BoxContent& box, int columns, int rows, AnswerLine answer) {
  const int widest = std::max(1, columns - 4);
  const auto width = static_cast<std::size_t>(widest);
  std::vector<std::string> lines = text_lines(box.text);
  if (answer == AnswerLine::after_blank_line) lines.emplace_back();
  lines.emplace_back(box.yes_no ? "(Y/N)" : "(Enter)");

  BoxLayout layout;
  for (const std::string& whole : lines) {
    if (whole.empty()) layout.lines.push_back(whole);
    for (std::size_t at = 0; at < whole.size(); at += width) layout.lines.push_back(whole.substr(at, width));
  }
  layout.caption = box.caption.substr(0, width);
  layout.inner = static_cast<int>(layout.caption.size());
  for (const std::string& line : layout.lines) layout.inner = std::max(layout.inner, static_cast<int>(line.size()));
  layout.width = layout.inner + 4;
  layout.height = static_cast<int>(layout.lines.size()) + 4;
  layout.top = std::max(0, (rows - layout.height) / 2);
  layout.left = std::max(0, (columns - layout.width) / 2);
  return layout;
}

}  // namespace pat
