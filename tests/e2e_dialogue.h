#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e_support.h"

namespace pat::test {

// Answers the dialogue and the first instruction screen as a user types
// them; the capture begins with the Enter of the second screen.
inline void answer_up_to_capture(TmuxRun& run, const std::string& port, const std::string& baud,
                                 const std::string& name, const std::string& format) {
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  run.type_line(port);
  ASSERT_TRUE(run.wait_row(9, " ?")) << run.screen_text();
  run.type_line(baud);
  ASSERT_TRUE(run.wait_row(15, " ?")) << run.screen_text();
  run.type_line(name);
  ASSERT_TRUE(run.wait_row(12, " Select")) << run.screen_text();
  run.type_line(format);
  ASSERT_TRUE(run.wait_contains("Press ENTER to continue")) << run.screen_text();
  run.key("Enter");
  ASSERT_TRUE(run.wait_contains("START SEARCH")) << run.screen_text();
}

}  // namespace pat::test
