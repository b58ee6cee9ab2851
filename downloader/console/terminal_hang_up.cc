#include "downloader/console/terminal_hang_up.h"

#include <poll.h>

#include <cerrno>

namespace pat {

bool poll_reports_hang_up(short revents) { return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

bool read_reports_hang_up(int error) {
  return error != 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR;
}

}  // namespace pat
