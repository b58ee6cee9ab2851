#include "downloader/files/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pat {

bool lock_without_waiting(int fd, int operation) {
  int rc;
  do {
    rc = ::flock(fd, operation | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 || errno != EWOULDBLOCK;
}

bool still_named(int fd, const std::string& path) {
  struct stat open_file;
  struct stat named;
  if (::fstat(fd, &open_file) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  return open_file.st_nlink > 0 && open_file.st_dev == named.st_dev &&
         open_file.st_ino == named.st_ino;
}

NameChangeLock::NameChangeLock(int dir_fd, const std::string& path) {
  struct stat st;
  if (::fstatat(dir_fd, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
    return;
  do {
    fd_ = ::openat(dir_fd, path.c_str(),
                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return;
  held_elsewhere_ = !lock_without_waiting(fd_, LOCK_EX);
}

NameChangeLock::~NameChangeLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace pat
