#include "downloader/files/disk_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "downloader/files/drain.h"
#include "downloader/files/file_lock.h"
#include "downloader/files/file_table.h"
#include "downloader/files/system_name.h"
#include "downloader/run_error.h"

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

namespace {

bool holds_wildcard_or_nul(std::string_view name) {
  return name.find_first_of(std::string_view("*?\0", 3)) != std::string_view::npos;
}

// Opened without waiting, so that a FIFO of that name cannot hold the run;
// the descriptor blocks again once the name has proved a plain file.
int open_or_errno(const std::string& name, int flags) {
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// 0 for a name that can be used as a file; else its error: 70 for a folder,
// 53 for a FIFO or a socket, whose reads and writes would wait on another
// program.
int not_a_plain_file(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return err::file_not_found;
  if (S_ISDIR(st.st_mode)) return err::permission_denied;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return err::file_not_found;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return err::file_not_found;
  return 0;
}

bool access_refused(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
}

// Opens with O_CREAT, telling whether this open made the file: an exclusive
// create first, then an open of the file that is there. A name that keeps
// changing between the two (a link to nowhere, say) is opened as before,
// and counts as found, never as made.
int open_creating(const std::string& path, int flags, bool& created) {
  created = false;
  constexpr int attempts = 4;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    int fd = open_or_errno(path, flags | O_CREAT | O_EXCL);
    if (fd >= 0) {
      created = true;
      return fd;
    }
    if (errno != EEXIST) return fd;
    fd = open_or_errno(path, flags);
    if (fd >= 0 || errno != ENOENT) return fd;
  }
  return open_or_errno(path, flags | O_CREAT);
}

// Opens the system's path in the mode; the descriptor is a plain file (or a
// device) and blocks. Nothing is emptied or locked yet.
int open_descriptor(const std::string& path, FileMode mode, DiskOpening& f) {
  int fd = -1;
  f.created = false;
  switch (mode) {
    case mode_input:
      fd = open_or_errno(path, O_RDONLY);
      f.can_read = true;
      break;
    case mode_output:
      // Emptied only once locked: a file another copy is writing is never cut.
      fd = open_creating(path, O_WRONLY, f.created);
      f.can_write = true;
      break;
    case mode_random: {
      fd = open_creating(path, O_RDWR, f.created);
      f.can_read = f.can_write = true;
      if (fd < 0 && access_refused(errno)) {
        const int first_error = errno;
        fd = open_or_errno(path, O_RDONLY);
        f.can_write = false;
        if (fd < 0) {
          fd = open_creating(path, O_WRONLY, f.created);
          f.can_read = false;
          f.can_write = true;
        }
        if (fd < 0) errno = first_error;
      }
      break;
    }
  }
  if (fd < 0) raise_error(open_error_from_errno(errno, path));
  if (const int error = not_a_plain_file(fd)) {
    ::close(fd);
    raise_error(error);
  }
  return fd;
}

// How often an open is tried again when the name was deleted or renamed
// between the open and the lock.
constexpr int name_change_retries = 8;

}  // namespace

DiskOpening open_disk_file(std::string_view name, FileMode mode, Emptying emptying) {
  // The program never creates a name that kill_files would read as a
  // pattern; a NUL would silently cut the name short.
  if (holds_wildcard_or_nul(name)) raise_error(err::file_not_found);
  if (mode != mode_input && mode != mode_output && mode != mode_random)
    raise_error(err::bad_file_mode);

  DiskOpening opened;
  opened.path = system_name(name);
  const std::string& path = opened.path;
  int fd;
  for (int attempt = 0;; ++attempt) {
    fd = open_descriptor(path, mode, opened);
    if (!opened.can_write) {
      // A reader holds a shared lock where it can, so that no other copy
      // empties or deletes the file under it; it reads on either way.
      lock_without_waiting(fd, LOCK_SH);
      break;
    }
    if (!lock_without_waiting(fd, LOCK_EX)) {
      ::close(fd);
      raise_error(err::permission_denied);
    }
    if (still_named(fd, path)) break;
    ::close(fd);
    if (attempt == name_change_retries) raise_error(err::permission_denied);
  }

  struct stat st;
  const bool stated = ::fstat(fd, &st) == 0;
  if (stated) opened.identity = identity_of(st);
  if (mode == mode_output && emptying == Emptying::at_first_write) {
    opened.keep_until_written = true;
  } else if (mode == mode_output && stated && S_ISREG(st.st_mode) && st.st_size > 0 &&
             ::ftruncate(fd, 0) != 0) {
    const int error = errno;
    ::close(fd);
    raise_error(open_error_from_errno(error));
  }
  opened.fd = fd;
  opened.file = std::make_unique<DiskFile>(fd);
  return opened;
}

}  // namespace pat
