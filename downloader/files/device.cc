#include "downloader/files/device.h"

#include <unistd.h>

namespace pat {

bool drain_wake(int wake_fd) {
  if (wake_fd < 0) return false;
  bool any = false;
  char drain[64];
  while (::read(wake_fd, drain, sizeof drain) > 0) any = true;
  return any;
}

}  // namespace pat
