#include "downloader/serial/serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "downloader/files/drain.h"
#include "downloader/files/own_file.h"
#include "downloader/run_error.h"
#include "downloader/serial/line_settings.h"

namespace pat {
namespace {

std::string default_device(int port) {
  if (port >= 1 && port <= 32) return "/dev/ttyS" + std::to_string(port - 1);
  if (port >= 33 && port <= 64) return "/dev/ttyUSB" + std::to_string(port - 33);
  if (port >= 65 && port <= 96) return "/dev/ttyACM" + std::to_string(port - 65);
  return {};
}

// Closes what was opened; `made_exclusive` undoes our TIOCEXCL, which
// would otherwise outlive the close on a line that stays open elsewhere.
[[noreturn]] void refuse(int fd, bool made_exclusive = false) {
  if (made_exclusive) ::ioctl(fd, TIOCNXCL);
  if (fd >= 0) ::close(fd);
  raise_error(err::device_unavailable);
}

// Whether one of the process's descriptors is the character device.
bool process_holds(const std::string& pid, dev_t device) {
  const int dir_fd = ::open(("/proc/" + pid + "/fd").c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return false;  // gone, or not ours to read
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    ::close(dir_fd);
    return false;
  }
  bool holds = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat st;
    if (::fstatat(dir_fd, entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
        st.st_rdev == device) {
      holds = true;
      break;
    }
  }
  ::closedir(dir);
  return holds;
}

}  // namespace

bool device_open_elsewhere(dev_t device) {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return false;
  const long self = static_cast<long>(::getpid());
  bool found = false;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    if (process_holds(entry->d_name, device)) {
      found = true;
      break;
    }
  }
  ::closedir(proc);
  return found;
}

std::string port_device_path(int port) {
  // An ASCII name, the same in the program's text and on disk.
  const Text local = own_file_name("com" + std::to_string(port));
  if (!local.empty()) return local;
  return default_device(port);
}

int open_serial_port(const SerialSettings& settings) {
  const std::string path = port_device_path(settings.port);
  if (path.empty()) refuse(-1);
  // Non-blocking, so that the open does not wait for a carrier.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) refuse(-1);
  // The lock refuses a port that another program holds; only then is the
  // line made exclusive (root is exempt), so a refused open leaves the
  // holder's line as it was.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) refuse(fd);
  if (::ioctl(fd, TIOCEXCL) != 0) refuse(fd, true);
  // A program that opened the line without a lock (a terminal, a plain
  // reader) would take bytes from under us. Checked before the line is
  // changed, so a refused open leaves the holder's settings alone.
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || device_open_elsewhere(st.st_rdev))
    refuse(fd, true);

  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) refuse(fd, true);
  make_raw_line(t, settings);
  if (::ioctl(fd, TCSETS2, &t) != 0) refuse(fd, true);

  if (settings.rts_off) {
    int rts = TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIC, &rts) != 0) refuse(fd, true);
  }

  // Blocking again for reads: with VMIN and VTIME 0 a read still returns at
  // once, with 0 (no byte, not a failure) when nothing waits.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) refuse(fd, true);
  return fd;
}

std::uint64_t serial_bytes_waiting(int fd) {
  int count = 0;
  if (::ioctl(fd, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<std::uint64_t>(count);
}

namespace {

// Whether the wake descriptor reported; if so it is read empty.
bool woken(const pollfd& wake) {
  if (wake.fd < 0 || (wake.revents & POLLIN) == 0) return false;
  drain_descriptor(wake.fd);
  return true;
}

}  // namespace

void serial_wait_readable(int fd, int timeout_ms, int wake_fd) {
  if (timeout_ms <= 0) return;
  pollfd p[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  // An interrupted wait simply ends early; the caller polls again.
  if (::poll(p, 2, timeout_ms) <= 0 || woken(p[1])) return;
  if (serial_bytes_waiting(fd) == 0) {
    // A hung-up or broken line reports at once, every time, with nothing to
    // read: wait out the time anyway so the caller does not spin.
    p[1].revents = 0;
    if (::poll(&p[1], 1, timeout_ms) > 0) woken(p[1]);
  }
}

}  // namespace pat
