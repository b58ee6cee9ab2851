// The real program's terminal in tmux: shared with another program that
// reads it, and gone from under the program.

#include <sched.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"
#include "tests/support/terminal_restored.h"

namespace pat::test {
namespace {

const char* const reading = " Reading data from Supernova on COM port #3";

// The parent of a process, 0 when it is gone.
int parent_of(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name may hold blanks: the state and the parent follow its ')'.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string state;
  int parent = 0;
  fields >> state >> parent;
  return parent;
}

// "taskset -c N " for two processors this process may use, or nothing when
// it has fewer.
std::pair<std::string, std::string> two_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::vector<int> cpus;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    for (int cpu = 0; cpu < CPU_SETSIZE && cpus.size() < 2; ++cpu)
      if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
  }
  if (cpus.size() < 2) return {"", ""};
  return {"taskset -c " + std::to_string(cpus[0]) + " ", "taskset -c " + std::to_string(cpus[1]) + " "};
}

// A key that another reader of the terminal took never reached the program:
// the run goes on and answers its own keys.
TEST(SharedTerminal, KeysAnotherReaderTakesAreNoEvent) {
  RunFolder folder;
  const std::string download = certificate_download(2);
  SimTester tester(folder, {.send = download, .baud = 0});
  // Beside the program, a reader of the same terminal that takes twenty
  // bytes. On processors of their own both wake at once when a key comes,
  // and either may take it.
  const auto [reader_cpu, program_cpu] = two_processors();
  TmuxRun run(folder, "",
              reader_cpu + "dd if=/dev/tty of=.taken bs=1 count=20 status=none & " + program_cpu +
                  "./pat-downloader");
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  // Should the program take a key, a port number refuses the letter.
  auto taken = [&] { return folder.exists(".taken") ? folder.read(".taken") : std::string(); };
  const std::string twenty(20, 'x');
  for (int i = 0; i < 400 && taken() != twenty && !run.ended(); ++i) {
    run.type("x");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(taken(), twenty);
  EXPECT_FALSE(run.ended()) << run.screen_text();

  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(folder.read("shop.txt"), download.substr(0, download.size() - 2));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
  expect_terminal_restored(run);
}

// The terminal closed in the middle of a capture, with no SIGHUP to tell
// (the shell that would pass it on ignores it): the program learns it from
// the terminal and ends as the end request makes it, keeping every byte.
TEST(TerminalGone, MidCaptureEndsTheRunAndKeepsTheBytes) {
  RunFolder folder;
  const std::string first = certificate_blocks(20);
  const std::string download = first + certificate_download(5);
  // The pause is shorter than the silence that ends a capture.
  SimTester tester(folder, {.send = download,
                            .baud = 0,
                            .pauses = {{static_cast<long>(first.size()), 3.0}}});
  TmuxRun run(folder, "", "trap '' HUP; ./pat-downloader");
  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, reading, 20)) << run.screen_text();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int program = run.program_pid();
  const int shell = parent_of(program);
  const int server = parent_of(shell);
  ASSERT_GT(program, 0);
  ASSERT_GT(server, 1);
  // The terminal's other side goes at once, as when its window is killed.
  ASSERT_EQ(kill(server, SIGKILL), 0);
  const int status = run.wait_exit();
  if (status < 0) kill(program, SIGKILL);
  // The shell, without a terminal, waits in its closing sleep.
  kill(shell, SIGTERM);
  EXPECT_EQ(status, 0);
  const std::string kept = folder.read("shop.txt");
  EXPECT_GE(kept.size(), first.size());
  EXPECT_EQ(kept, download.substr(0, kept.size()));
}

}  // namespace
}  // namespace pat::test
