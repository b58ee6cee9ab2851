// The real program in tmux: its start, the options, the end request and the
// state of the terminal afterwards.

#include <signal.h>

#include <gtest/gtest.h>

#include "tests/e2e_support.h"
#include "tests/support/terminal_restored.h"

namespace pat::test {
namespace {

const char* const title = "Read Data via RS-232 for Seaward Supernova";

TEST(Startup, TitleInBlackOnWhiteThenTheFirstQuestion) {
  RunFolder folder;
  TmuxRun run(folder);
  ASSERT_TRUE(run.wait_row(1, title)) << run.screen_text();
  EXPECT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  // Black (30) on white: the title's cells carry both colours.
  const std::string coloured = run.screen_with_colours();
  const std::size_t at = coloured.find("Read Data");
  ASSERT_NE(at, std::string::npos);
  const std::string before = coloured.substr(0, at);
  EXPECT_TRUE(before.find("30") != std::string::npos || before.find("38;5;0") != std::string::npos)
      << before;
  EXPECT_TRUE(before.find("107") != std::string::npos || before.find("47") != std::string::npos ||
              before.find("48;5;15") != std::string::npos)
      << before;
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
  expect_terminal_restored(run);
}

TEST(Startup, CtrlCAtTheClosingPromptEndsAtOnce) {
  RunFolder folder;
  TmuxRun run(folder, "/v");
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(2), 0);
  expect_terminal_restored(run);
}

TEST(Startup, AKeyEndsTheClosingWait) {
  RunFolder folder;
  TmuxRun run(folder, "/v");
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  EXPECT_EQ(run.row(1), title);
  EXPECT_EQ(run.row(2), "");
  EXPECT_EQ(run.row(3), " Version : 0.12 - 16-11-2019");
  EXPECT_EQ(run.row(7), "");
  run.key("Up");
  EXPECT_EQ(run.wait_exit(), 0);
  expect_terminal_restored(run);
}

TEST(Startup, TerminalClosingEndsTheRun) {
  RunFolder folder;
  TmuxRun run(folder);
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  EXPECT_TRUE(run.signal_program(SIGHUP));
  EXPECT_EQ(run.wait_exit(), 0);
  expect_terminal_restored(run);
}

}  // namespace
}  // namespace pat::test
