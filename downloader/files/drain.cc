#include "downloader/files/drain.h"

#include <unistd.h>

namespace pat {

bool drain_descriptor(int fd) {
  if (fd < 0) return false;
  bool any = false;
  char bytes[256];
  while (::read(fd, bytes, sizeof bytes) > 0) any = true;
  return any;
}

}  // namespace pat
