#include "downloader/console/terminal_hang_up.h"

#include <poll.h>

#include <cerrno>
#include <vector>

#include <gtest/gtest.h>

namespace pat {
namespace {

TEST(TerminalHangUp, PollReportsOnlyWhatTheSystemCallsAHangUp) {
  struct Case {
    short revents;
    bool hung_up;
  };
  const std::vector<Case> cases = {
      {0, false},
      // Readable, whether or not a byte is still there when it is read.
      {POLLIN, false},
      {POLLHUP, true},
      // A hang-up with bytes still waiting is a hang-up.
      {POLLIN | POLLHUP, true},
      {POLLERR, true},
      {POLLIN | POLLERR | POLLHUP, true},
      {POLLNVAL, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.revents);
    EXPECT_EQ(poll_reports_hang_up(c.revents), c.hung_up);
  }
}

TEST(TerminalHangUp, AReadThatFindsNoByteEndsTheTerminalOnlyWhenItFails) {
  struct Case {
    int error;
    bool hung_up;
  };
  const std::vector<Case> cases = {
      // Nothing was waiting, or another reader took the byte.
      {0, false},
      {EAGAIN, false},
      {EINTR, false},
      // The terminal is gone.
      {EIO, true},
      {EBADF, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(read_reports_hang_up(c.error), c.hung_up);
  }
}

}  // namespace
}  // namespace pat
