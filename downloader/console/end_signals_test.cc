#include "downloader/console/end_signals.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <vector>

#include "downloader/console/signal_roles.h"

namespace pat {
namespace {

std::atomic<int> caught{0};
void catch_signal(int number) { caught.store(number); }

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

std::vector<int> signals_with_role(SignalRole role) {
  std::vector<int> numbers;
  for (int number = 1; number < NSIG; ++number) {
    if (signal_role(number) == role) numbers.push_back(number);
  }
  return numbers;
}

// Each end signal under a guard: noted and waking, and the process goes on;
// afterwards the handler found before is back.
TEST(EndSignals, TurnIntoTheEndRequestWhileTheGuardLives) {
  for (int number : signals_with_role(SignalRole::end_request)) {
    SCOPED_TRACE(number);
    struct sigaction mine {};
    mine.sa_handler = catch_signal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(sigaction(number, &mine, &before), 0);
    WakePipe pipe;
    ASSERT_TRUE(pipe.open());
    caught.store(0);
    {
      EndSignals guard(pipe);
      EXPECT_FALSE(EndSignals::arrived());
      std::raise(number);
      EXPECT_TRUE(EndSignals::arrived());
      EXPECT_TRUE(readable(pipe.fd()));
      EXPECT_EQ(caught.load(), 0);
    }
    pipe.drain();
    std::raise(number);
    EXPECT_EQ(caught.load(), number);
    EXPECT_FALSE(readable(pipe.fd()));
    sigaction(number, &before, nullptr);
  }
}

// SIGPIPE and SIGXFSZ under a guard end nothing and are no end request: the
// write they would stop fails with its error number.
TEST(EndSignals, LeaveAFailedWriteToTheWriter) {
  for (int number : {SIGPIPE, SIGXFSZ}) {
    SCOPED_TRACE(number);
    struct sigaction mine {};
    mine.sa_handler = catch_signal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(sigaction(number, &mine, &before), 0);
    WakePipe wake;
    ASSERT_TRUE(wake.open());
    caught.store(0);
    {
      EndSignals guard(wake);
      std::raise(number);
      EXPECT_FALSE(EndSignals::arrived());
      EXPECT_FALSE(readable(wake.fd()));
      EXPECT_EQ(caught.load(), 0);
    }
    std::raise(number);
    EXPECT_EQ(caught.load(), number);
    sigaction(number, &before, nullptr);
  }
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  WakePipe wake;
  ASSERT_TRUE(wake.open());
  EndSignals guard(wake);
  EXPECT_EQ(write(ends[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(ends[1]);
}

TEST(EndSignals, ANewGuardStartsWithoutTheOldSignal) {
  WakePipe pipe;
  ASSERT_TRUE(pipe.open());
  { EndSignals guard(pipe); std::raise(SIGTERM); }
  EndSignals guard(pipe);
  EXPECT_FALSE(EndSignals::arrived());
}

}  // namespace
}  // namespace pat
