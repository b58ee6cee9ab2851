#include "downloader/console/box_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pat {
namespace {

using Lines = std::vector<std::string>;

TEST(BoxLayout, TheTextsLinesThenTheKeysThatAnswer) {
  struct Case {
    const char* name;
    BoxContent box;
    AnswerLine answer;
    Lines lines;
  };
  const std::string kept = " The download is kept in 'shop.xtx'";
  const std::vector<Case> cases = {
      {"unhandled error, terminal",
       {"Unhandled Error #61", "The error handler met an error: disk full.\n" + kept + "\nContinue?", true},
       AnswerLine::next,
       {"The error handler met an error: disk full.", kept, "Continue?", "(Y/N)"}},
      {"unhandled error, window",
       {"Unhandled Error #61", "The error handler met an error: disk full.\nContinue?", true},
       AnswerLine::after_blank_line,
       {"The error handler met an error: disk full.", "Continue?", "", "(Y/N)"}},
      // The question is the caller's: none is added.
      {"a yes/no box asks only its own question", {"Check", "Go on?", true}, AnswerLine::next, {"Go on?", "(Y/N)"}},
      {"message, terminal", {"Out of memory", "Must end.", false}, AnswerLine::next, {"Must end.", "(Enter)"}},
      {"message, window", {"Program fault", "Must end.", false}, AnswerLine::after_blank_line,
       {"Must end.", "", "(Enter)"}},
      {"carriage returns dropped, inner blank lines kept, a last line end ends the text",
       {"c", "one\r\n\r\ntwo\r\n", false}, AnswerLine::next, {"one", "", "two", "(Enter)"}},
      {"an empty text is one empty line", {"c", "", false}, AnswerLine::next, {"", "(Enter)"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lay_out_box(c.box, 100, 25, c.answer).lines, c.lines) << c.name;
  }
}

TEST(BoxLayout, WrappedToTheScreenAndCentred) {
  struct Case {
    const char* name;
    BoxContent box;
    int columns;
    int rows;
    Lines lines;
    std::string caption;
    int inner, width, height, top, left;
  };
  const std::vector<Case> cases = {
      {"the text sets the width", {"Out of memory", "abcdefghijklmnopqrst", false}, 100, 25,
       {"abcdefghijklmnopqrst", "(Enter)"}, "Out of memory", 20, 24, 6, 9, 38},
      {"the caption sets the width", {"Unhandled Error #5", "ab", true}, 100, 25,
       {"ab", "(Y/N)"}, "Unhandled Error #5", 18, 22, 6, 9, 39},
      {"long lines wrap at the screen less the frame", {"Program fault", "abcdefghijk", false}, 10, 25,
       {"abcdef", "ghijk", "(Enter", ")"}, "Progra", 6, 10, 8, 8, 0},
      {"taller than the screen: from the top", {"c", "1\n2\n3\n4", false}, 100, 5,
       {"1", "2", "3", "4", "(Enter)"}, "c", 7, 11, 9, 0, 44},
      {"narrower than the frame: one column of text", {"cap", "ab", false}, 3, 25,
       {"a", "b", "(", "E", "n", "t", "e", "r", ")"}, "c", 1, 5, 13, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BoxLayout layout = lay_out_box(c.box, c.columns, c.rows, AnswerLine::next);
    EXPECT_EQ(layout.lines, c.lines);
    EXPECT_EQ(layout.caption, c.caption);
    EXPECT_EQ(layout.inner, c.inner);
    EXPECT_EQ(layout.width, c.width);
    EXPECT_EQ(layout.height, c.height);
    EXPECT_EQ(layout.top, c.top);
    EXPECT_EQ(layout.left, c.left);
  }
}

}  // namespace
}  // namespace pat
