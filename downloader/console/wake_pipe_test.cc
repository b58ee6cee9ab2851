#include "downloader/console/wake_pipe.h"

#include <poll.h>

#include <gtest/gtest.h>

namespace pat {
namespace {

bool readable(const WakePipe& pipe) {
  pollfd fd{pipe.fd(), POLLIN, 0};
  return poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) != 0;
}

TEST(WakePipe, WakesUntilDrainedAndNeverBlocks) {
  WakePipe pipe;
  ASSERT_TRUE(pipe.open());
  EXPECT_FALSE(readable(pipe));
  pipe.wake();
  EXPECT_TRUE(readable(pipe));
  pipe.drain();
  EXPECT_FALSE(readable(pipe));
  // Far more wakes than a pipe holds: none of them blocks, one drain takes all.
  for (int i = 0; i < 70000; ++i) pipe.wake();
  EXPECT_TRUE(readable(pipe));
  pipe.drain();
  EXPECT_FALSE(readable(pipe));
}

TEST(WakePipe, ClosedPipeIgnoresWakes) {
  WakePipe pipe;
  EXPECT_EQ(pipe.fd(), -1);
  pipe.wake();
  pipe.drain();
  ASSERT_TRUE(pipe.open());
  pipe.close();
  EXPECT_EQ(pipe.fd(), -1);
  pipe.wake();
}

}  // namespace
}  // namespace pat
