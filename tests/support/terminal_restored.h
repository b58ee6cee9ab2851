#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tmux_run.h"

namespace pat::test {

// The pane as the program found it, once it has ended: the line discipline
// back in cooked mode with echo, the normal screen, the cursor shown.
inline void expect_terminal_restored(const TmuxRun& run) {
  const std::string stty = run.stty_after();
  EXPECT_NE(stty.find(" icanon"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" echo"), std::string::npos) << stty;
  EXPECT_FALSE(run.alternate_screen_on());
  EXPECT_TRUE(run.cursor_shown());
}

}  // namespace pat::test
