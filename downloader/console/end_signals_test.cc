#include "downloader/console/end_signals.h"

#include <poll.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

namespace pat {
namespace {

std::atomic<int> caught{0};
void catch_signal(int number) { caught.store(number); }

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// Each end signal under a guard: noted and waking, and the process goes on;
// afterwards the handler found before is back.
TEST(EndSignals, TurnIntoTheEndRequestWhileTheGuardLives) {
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
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

TEST(EndSignals, ANewGuardStartsWithoutTheOldSignal) {
  WakePipe pipe;
  ASSERT_TRUE(pipe.open());
  { EndSignals guard(pipe); std::raise(SIGTERM); }
  EndSignals guard(pipe);
  EXPECT_FALSE(EndSignals::arrived());
}

}  // namespace
}  // namespace pat
