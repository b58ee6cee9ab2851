// Line noise alone for the whole minute of waiting: a run in one process,
// the simulated tester on a pseudo-terminal, a clock that runs 20 times fast.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/dialogue.h"
#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"
#include "tests/support/sim_tester.h"

namespace pat::test {
namespace {

TEST(LineNoiseInProcess, NoiseAloneIsNoFileReceived) {
  InProcessRun run;
  // Zeros and 255s over the first 40 seconds of the fast clock.
  const std::string noise = std::string("\0\xff\xff\0\xff", 5);
  SimTester tester(run.folder(), {.send = noise,
                                  .baud = 19200,
                                  .pauses = {{1, 0.5}, {2, 0.5}, {3, 0.5}, {4, 0.5}}});
  script_dialogue(run.backend, {.name = "shop", .format = "2"});
  // The capture polls the key queue while it waits for the first byte.
  run.backend.idle_steps(100000);
  // The countdowns shown, and whether the reading screen ever came.
  std::vector<int> countdowns;
  bool reading = false;
  const std::string waiting = " Hit ESC to quit : ";
  run.program.clock = [&, start = std::chrono::steady_clock::now()] {
    const std::string row = run.row(3);
    if (row.rfind(waiting, 0) == 0) {
      const int shown = std::stoi(row.substr(waiting.size()));
      if (countdowns.empty() || countdowns.back() != shown) countdowns.push_back(shown);
    }
    reading |= run.row(1).rfind(" Reading data", 0) == 0;
    return 20 * std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
  };
  EXPECT_EQ(run.run(), 0);
  EXPECT_FALSE(reading);
  EXPECT_EQ(run.row(1), " ERROR") << run.screen_text();
  EXPECT_EQ(run.row(3), " NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
  EXPECT_EQ(run.row(6), " Version : 0.12 - 16-11-2019");
  EXPECT_FALSE(path_exists(run.file("shop.txt")));
  // From 60 down, one a step through the noise, never below 0.
  ASSERT_GE(countdowns.size(), 2u);
  EXPECT_EQ(countdowns.front(), 60);
  EXPECT_GE(countdowns.back(), 0);
  for (std::size_t i = 1; i < countdowns.size(); ++i)
    EXPECT_EQ(countdowns[i], countdowns[i - 1] - 1) << "after " << countdowns[i - 1];
  // The tester sent all of it before the port was closed.
  EXPECT_NE(tester.finish().find("sent 5 bytes"), std::string::npos);
}

}  // namespace
}  // namespace pat::test
