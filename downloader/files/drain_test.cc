#include "downloader/files/drain.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pat {
namespace {

TEST(DrainDescriptor, TakesEveryByteAndTellsWhetherAnyWasThere) {
  struct Case {
    const char* name;
    std::size_t bytes;
    bool writer_closed;
    bool any;
  };
  const std::vector<Case> cases = {
      {"nothing written", 0, false, false},
      {"the writer gone, nothing left", 0, true, false},
      {"one byte", 1, false, true},
      {"more than one read takes", 5000, false, true},
      {"bytes left by a writer that is gone", 300, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    const std::string bytes(c.bytes, 'w');
    ASSERT_EQ(write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (c.writer_closed) close(ends[1]);
    EXPECT_EQ(drain_descriptor(ends[0]), c.any);
    char left;
    EXPECT_LE(read(ends[0], &left, 1), 0) << "read empty";
    EXPECT_FALSE(drain_descriptor(ends[0])) << "nothing the second time";
    close(ends[0]);
    if (!c.writer_closed) close(ends[1]);
  }
  EXPECT_FALSE(drain_descriptor(-1));
}

}  // namespace
}  // namespace pat
