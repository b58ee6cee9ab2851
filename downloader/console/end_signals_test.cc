#include "downloader/console/end_signals.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "downloader/console/signal_roles.h"

namespace pat {
namespace {

std::atomic<int> caught{0};
void catch_signal(int number) { caught.store(number); }

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// Each signal the guard takes: an end signal is noted and wakes, SIGPIPE and
// SIGXFSZ do neither, and the process goes on; afterwards the handler found
// before is back.
TEST(EndSignals, TakeTheirSignalsWhileTheGuardLives) {
  for (int number = 1; number < NSIG; ++number) {
    const SignalRole role = signal_role(number);
    if (role != SignalRole::end_request && role != SignalRole::ignored) continue;
    const bool ends = role == SignalRole::end_request;
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
      EXPECT_EQ(EndSignals::arrived(), ends);
      EXPECT_EQ(readable(pipe.fd()), ends);
      EXPECT_EQ(caught.load(), 0);
    }
    pipe.drain();
    std::raise(number);
    EXPECT_EQ(caught.load(), number);
    EXPECT_FALSE(readable(pipe.fd()));
    sigaction(number, &before, nullptr);
  }
}

// The write that SIGPIPE would have stopped fails as a write.
TEST(EndSignals, AWriteToAPipeWithoutAReaderFails) {
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
