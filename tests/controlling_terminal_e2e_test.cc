// The real program started from a terminal with its standard input and
// output redirected draws on that terminal and takes its keys there; with no
// terminal and no display it says so and ends.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e_support.h"
#include "tests/support/changed_environment.h"
#include "tests/support/terminal_restored.h"

namespace pat::test {
namespace {

struct RedirectedCase {
  const char* name;
  std::string program;  // as the pane's shell runs it
  std::string redirection;
  std::string output;  // the file that gets standard output
};

void PrintTo(const RedirectedCase& c, std::ostream* out) { *out << c.name; }

class Redirected : public ::testing::TestWithParam<RedirectedCase> {};

TEST_P(Redirected, DrawsOnTheTerminalAndNothingElsewhere) {
  const RedirectedCase& c = GetParam();
  RunFolder folder;
  TmuxRun run(folder, "/v " + c.redirection, c.program);
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  EXPECT_EQ(run.row(1), "Read Data via RS-232 for Seaward Supernova");
  EXPECT_EQ(run.row(3), " Version : 0.12 - 16-11-2019");
  // The key comes from the terminal, not from the redirected input.
  run.key("x");
  EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
  EXPECT_EQ(folder.read(c.output), c.output == ".count" ? "0\n" : "");
  expect_terminal_restored(run);
}

INSTANTIATE_TEST_SUITE_P(
    Output, Redirected,
    ::testing::Values(RedirectedCase{"IntoAPipe", "./pat-downloader", "| wc -c > .count", ".count"},
                      // Without a display: no window is wanted.
                      RedirectedCase{"FromNothingIntoAFile", "env -u DISPLAY ./pat-downloader",
                                     "</dev/null >.out", ".out"}),
    [](const auto& info) { return std::string(info.param.name); });

// Started in a session of its own with no display: one line, status 1, and
// no file touched, before any screen.
TEST(NoTerminal, WithoutADisplayOneLineAndStatusOne) {
  RunFolder folder;
  folder.write("shop.txt", "kept\r\n");
  const std::vector<std::string> before = folder.entries();
  // No display, and a terminal type with which curses would draw on any
  // output.
  ChangedEnvironment environment({"DISPLAY", "TERM=xterm-256color"});
  for (const char* args : {"", "/v"}) {
    SCOPED_TRACE(args);
    std::vector<std::string> argv = {folder.file("pat-downloader")};
    if (*args != '\0') argv.emplace_back(args);
    const DetachedRun run = run_detached(argv, environment.get());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "pat-downloader: no terminal to run in\n");
    EXPECT_EQ(folder.entries(), before);
    EXPECT_EQ(folder.read("shop.txt"), "kept\r\n");
  }
}

}  // namespace
}  // namespace pat::test
