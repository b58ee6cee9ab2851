#include "downloader/console/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include "downloader/files/drain.h"

namespace pat {

WakePipe::~WakePipe() { close(); }

bool WakePipe::open() {
  if (is_open()) return true;
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  read_fd_.store(ends[0]);
  write_fd_.store(ends[1]);
  return true;
}

void WakePipe::close() {
  const int write_end = write_fd_.exchange(-1);
  const int read_end = read_fd_.exchange(-1);
  if (write_end >= 0) ::close(write_end);
  if (read_end >= 0) ::close(read_end);
}

void WakePipe::wake() const {
  const int fd = write_fd_.load();
  if (fd < 0) return;
  // A full pipe already wakes its reader: the byte may be dropped.
  const char byte = 0;
  ssize_t written = write(fd, &byte, 1);
  (void)written;
}

void WakePipe::drain() const { drain_descriptor(read_fd_.load()); }

}  // namespace pat
