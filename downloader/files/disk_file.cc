#include "downloader/files/disk_file.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "downloader/files/drain.h"

namespace pat {

DiskFile::~DiskFile() {
  if (fd_ >= 0) ::close(fd_);
}

ssize_t DiskFile::read(char* into, std::size_t n) { return ::read(fd_, into, n); }

ssize_t DiskFile::write(const char* from, std::size_t n) { return ::write(fd_, from, n); }

std::uint64_t DiskFile::bytes_waiting() {
  int count = 0;
  if (::ioctl(fd_, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<std::uint64_t>(count);
}

void DiskFile::wait_readable(int timeout_ms, int wake_fd) {
  if (timeout_ms <= 0) return;
  pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  if (::poll(p, 2, timeout_ms) <= 0) return;
  if ((p[1].revents & POLLIN) != 0) {
    drain_descriptor(wake_fd);
    return;
  }
  // A file reports readable at once, even at its end: there the time is
  // waited out, so that a caller polling for more does not spin.
  if (bytes_waiting() == 0 && ::poll(&p[1], 1, timeout_ms) > 0) drain_descriptor(wake_fd);
}

int DiskFile::close() {
  const int result = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  return result;
}

bool DiskFile::seek(std::uint64_t offset) {
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::optional<std::uint64_t> DiskFile::size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace pat
