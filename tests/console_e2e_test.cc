// The terminal console of the real program: a name pasted in one piece, and
// terminals smaller than the screen.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const char* const title = "Read Data via RS-232 for Seaward Supernova";
const char* const closing_prompt = "Press any key to continue";

// A name of 34 characters, more than twice what the typed-key buffer holds,
// sent together with its Enter.
TEST(PastedName, ArrivesWholeWithItsEnter) {
  const std::string name = "north-workshop-store-room-may-2019";
  ASSERT_EQ(name.size(), 34u);
  struct Case {
    const char* how;
    std::function<void(TmuxRun&, const std::string&)> send;
  };
  const std::vector<Case> cases = {
      {"a paste", [](TmuxRun& run, const std::string& text) { run.paste(text); }},
      {"one send-keys", [](TmuxRun& run, const std::string& text) { run.type(text); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    RunFolder folder;
    const std::string download = certificate_download(3);
    SimTester tester(folder, {.send = download, .baud = 19200});
    TmuxRun run(folder);
    ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
    run.type_line("3");
    ASSERT_TRUE(run.wait_row(9, " ?")) << run.screen_text();
    run.type_line("2");
    ASSERT_TRUE(run.wait_row(15, " ?")) << run.screen_text();
    c.send(run, name + "\r");
    ASSERT_TRUE(run.wait_row(12, " Select")) << run.screen_text();
    run.type_line("2");
    ASSERT_TRUE(run.wait_contains("Press ENTER to continue")) << run.screen_text();
    run.key("Enter");
    ASSERT_TRUE(run.wait_contains("START SEARCH")) << run.screen_text();
    run.key("Enter");
    ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
    EXPECT_EQ(run.row(3), " File '" + name + ".txt' created.");
    // Everything up to the closing text; its CR LF is never read.
    EXPECT_EQ(folder.read(name + ".txt"), download.substr(0, download.size() - 2));
    run.key("Enter");
    EXPECT_EQ(run.wait_exit(), 0);
  }
}

// tmux does not act on the program's request to grow, as many terminals
// would not: the program shows what fits.
TEST(SmallTerminal, ShowsTheClosingPromptAndTheNotice) {
  RunFolder folder;
  TmuxRun run(folder, "/v", "./pat-downloader", 80, 24);
  ASSERT_TRUE(run.wait_row(23, closing_prompt)) << run.screen_text();
  EXPECT_EQ(run.row(24), "Needs 100 x 25, this terminal is 80 x 24");
  // The notice in reverse video; the screen's rows 1 to 22 and 25 above it.
  EXPECT_NE(run.screen_with_colours().find("\x1b[7mNeeds 100 x 25"), std::string::npos)
      << run.screen_with_colours();
  EXPECT_EQ(run.row(1), title);
  run.key("a");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(SmallTerminal, GrownToTheScreensSizeShowsItAllWithoutTheNotice) {
  RunFolder folder;
  TmuxRun run(folder, "/v", "./pat-downloader", 80, 24);
  ASSERT_TRUE(run.wait_row(24, "Needs 100 x 25, this terminal is 80 x 24")) << run.screen_text();
  run.resize(100, 25);
  ASSERT_TRUE(run.wait_row(1, title)) << run.screen_text();
  EXPECT_TRUE(run.wait_row(25, closing_prompt)) << run.screen_text();
  EXPECT_EQ(run.screen_text().find("Needs"), std::string::npos) << run.screen_text();
  run.resize(90, 25);
  EXPECT_TRUE(run.wait_row(25, "Needs 100 x 25, this terminal is 90 x 25")) << run.screen_text();
  EXPECT_EQ(run.row(24), closing_prompt);
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

// Keys until the program ends: the closing prompt cannot be seen in a
// terminal this small, and a key typed before it is discarded.
int end_with_keys(TmuxRun& run) {
  for (int i = 0; i < 40; ++i) {
    run.key("a");
    const int status = run.wait_exit(0.25);
    if (status >= 0) return status;
  }
  return -1;
}

TEST(SmallTerminal, TinyTerminalsNeverEndTheRunEarly) {
  struct Case {
    int columns, rows;
    std::vector<std::string> shown;  // what the rows show once it waits
  };
  const std::vector<Case> cases = {
      {10, 3, {"Read Data", "Press any", "Needs 100"}},
      {1, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + " x " + std::to_string(c.rows));
    for (const char* args : {"/v", ""}) {
      SCOPED_TRACE(args);
      RunFolder folder;
      TmuxRun run(folder, args, "./pat-downloader", c.columns, c.rows);
      if (std::string(args) == "/v" && !c.shown.empty()) {
        EXPECT_TRUE(run.wait_for([&](const std::vector<std::string>& rows) { return rows == c.shown; }))
            << run.screen_text();
      }
      if (std::string(args).empty()) {
        // The dialogue in a terminal of this size: an answer and Ctrl+C.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        run.type_line("3");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(run.ended());
        run.key("C-c");
        EXPECT_EQ(run.wait_exit(), 0);
      } else {
        EXPECT_EQ(end_with_keys(run), 0);
      }
    }
  }
}

// What the program writes to a terminal of the given size until the
// closing prompt of "/v" stands, then its exit status after a key.
struct PtyRun {
  std::string output;
  int status = -1;
};

PtyRun run_on_pty(const RunFolder& folder, int columns, int rows) {
  PtyRun result;
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  const std::string program = folder.file("pat-downloader");
  // Made before the fork: the child of a process with threads may only exec.
  std::vector<std::string> environment = {"TERM=xterm-256color", "LANG=C.UTF-8", "LC_ALL=C.UTF-8",
                                          "PATH=/usr/bin:/bin"};
  std::vector<char*> env;
  for (std::string& e : environment) env.push_back(e.data());
  env.push_back(nullptr);
  const char* argv[] = {program.c_str(), "/v", nullptr};
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) return result;
  if (pid == 0) {
    if (chdir(folder.path().c_str()) != 0) _exit(127);
    execve(argv[0], const_cast<char**>(argv), env.data());
    _exit(127);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool key_sent = false;
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 50) > 0) {
      char buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // the program ended: the pty has no other end
      result.output.append(buffer, static_cast<std::size_t>(n));
    }
    if (!key_sent && result.output.find("any key") != std::string::npos) {
      // Give the end routine its moment to discard what came before.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      const char key = 'a';
      key_sent = write(master, &key, 1) == 1;
    }
    if (std::chrono::steady_clock::now() > until) {
      kill(pid, SIGKILL);
      break;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

TEST(SmallTerminal, AsksTheTerminalToGrowOnlyWhenItIsSmaller) {
  struct Case {
    int columns, rows;
    std::string request;  // empty: none
  };
  const std::vector<Case> cases = {
      {100, 25, ""},
      {132, 43, ""},
      {80, 24, "\x1b[8;25;100t"},
      {100, 24, "\x1b[8;25;100t"},
      // A wider terminal is not made narrower.
      {132, 20, "\x1b[8;25;132t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + " x " + std::to_string(c.rows));
    RunFolder folder;
    const PtyRun run = run_on_pty(folder, c.columns, c.rows);
    EXPECT_EQ(run.status, 0) << run.output;
    const std::size_t at = run.output.find("\x1b[8;");
    if (c.request.empty()) {
      EXPECT_EQ(at, std::string::npos) << run.output;
    } else {
      ASSERT_NE(at, std::string::npos) << run.output;
      EXPECT_EQ(run.output.substr(at, c.request.size()), c.request);
    }
  }
}

}  // namespace
}  // namespace pat::test
