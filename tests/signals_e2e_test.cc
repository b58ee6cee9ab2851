// Signals that would end the real program, sent in the middle of a capture,
// and a capture that meets the file-size limit, in tmux: whatever happens to
// the run, the terminal is left as it was.

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"
#include "tests/support/terminal_restored.h"

namespace pat::test {
namespace {

const char* const reading = " Reading data from Supernova on COM port #3";

enum class After { ends, goes_on, fault };

struct SignalCase {
  const char* name;
  int (*number)();  // SIGRTMIN is known only at run time
  After after;
};

void PrintTo(const SignalCase& c, std::ostream* out) { *out << c.name; }

class SignalMidCapture : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalMidCapture, LeavesTheTerminalAsItWas) {
  const SignalCase& c = GetParam();
  RunFolder folder;
  const std::string first = certificate_blocks(20);
  const std::string download = first + certificate_download(5);
  // The pause is shorter than the silence that ends a capture.
  SimTester tester(folder, {.send = download,
                            .baud = 0,
                            .pauses = {{static_cast<long>(first.size()), 3.0}}});
  // A fault leaves no core file in the folder.
  TmuxRun run(folder, "", "ulimit -c 0; ./pat-downloader");
  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, reading, 20)) << run.screen_text();
  // Let the program take what came before the pause.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(run.signal_program(c.number()));
  switch (c.after) {
    case After::ends: {
      EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
      // Every byte taken is kept: all before the pause, or more should the
      // signal come late.
      const std::string kept = folder.read("shop.txt");
      EXPECT_GE(kept.size(), first.size());
      EXPECT_EQ(kept, download.substr(0, kept.size()));
      break;
    }
    case After::goes_on:
      ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
      // Everything up to the closing text; its CR LF is never read.
      EXPECT_EQ(folder.read("shop.txt"), download.substr(0, download.size() - 2));
      run.key("Enter");
      EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
      break;
    case After::fault:
      EXPECT_EQ(run.wait_exit(), 128 + c.number()) << run.screen_text();
      break;
  }
  expect_terminal_restored(run);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalMidCapture,
    ::testing::Values(SignalCase{"SIGUSR1", [] { return SIGUSR1; }, After::ends},
                      SignalCase{"SIGALRM", [] { return SIGALRM; }, After::ends},
                      SignalCase{"SIGRTMIN", [] { return static_cast<int>(SIGRTMIN); }, After::ends},
                      SignalCase{"SIGPIPE", [] { return SIGPIPE; }, After::goes_on},
                      SignalCase{"SIGXFSZ", [] { return SIGXFSZ; }, After::goes_on},
                      SignalCase{"SIGTRAP", [] { return SIGTRAP; }, After::fault}),
    [](const auto& info) { return std::string(info.param.name); });

// A limit of 16 KiB on the size of the files the program writes: the write
// that meets it fails as on a full disk, and what fitted is kept.
TEST(FileSizeLimit, ACaptureThatMeetsItShowsTheErrorAndKeepsWhatFitted) {
  RunFolder folder;
  const std::string download = certificate_download(120);
  ASSERT_GT(download.size(), 3u * 16384);
  SimTester tester(folder, {.send = download, .baud = 0});
  // bash counts the limit in KiB (sh in 512-byte blocks).
  TmuxRun run(folder, "", "bash -c 'ulimit -f 16 && exec ./pat-downloader'");
  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!", 20)) << run.screen_text();
  EXPECT_EQ(run.row(2), " Error: 75") << run.screen_text();
  EXPECT_EQ(folder.read("shop.txt"), download.substr(0, 16384));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0) << run.screen_text();
  expect_terminal_restored(run);
}

}  // namespace
}  // namespace pat::test
