#include "downloader/console/wake_pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace pat {

WakePipe::~WakePipe() { close(); }

bool WakePipe::open() {
  if (is_open()) return true;
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  read_fd_ = ends[0];
  write_fd_ = ends[1];
  return true;
}

void WakePipe::close() {
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
  read_fd_ = write_fd_ = -1;
}

void WakePipe::wake() const {
  if (write_fd_ < 0) return;
  // A full pipe already wakes its reader: the byte may be dropped.
  const char byte = 0;
  ssize_t written = write(write_fd_, &byte, 1);
  (void)written;
}

void WakePipe::drain() const {
  if (read_fd_ < 0) return;
  char bytes[256];
  while (read(read_fd_, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace pat
