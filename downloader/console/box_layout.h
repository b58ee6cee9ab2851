#pragma once

#include <string>
#include <vector>

// What a modal box says and where it stands over a screen of cells: the
// caption, the text's lines wrapped to the screen, the line of the keys that
// answer it, centred. Each backend draws the frame in its own way.

namespace pat {

struct BoxContent {
  std::string caption;
  std::string text;     // lines parted by "\n"; a "\r" is dropped
  bool yes_no = false;  // answered Y or N; otherwise a message, answered with Enter
};

// The window leaves a blank line above the keys; the terminal, often short
// of rows, does not.
enum class AnswerLine { next, after_blank_line };

struct BoxLayout {
  std::string caption;             // cut to the inner width
  std::vector<std::string> lines;  // below the caption's divider
  int inner = 0;                   // text columns, between a blank each side
  int width = 0;                   // frame included
  int height = 0;
  int top = 0;  // the frame's first row and column, from 0
  int left = 0;
};

// A box too large for the screen starts at its top left corner; the caller
// cuts what lies outside.
BoxLayout lay_out_box(const BoxContent& box, int columns, int rows, AnswerLine answer);

}  // namespace pat
