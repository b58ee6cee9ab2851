#pragma once

// Test helper: a file held locked through an open of its own, as another
// copy of the program holds the file it writes.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace pat::test {

class HeldFile {
 public:
  HeldFile(const std::string& path, int operation = LOCK_EX)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0 || ::flock(fd_, operation | LOCK_NB) != 0) {
      if (fd_ >= 0) ::close(fd_);
      throw std::runtime_error("cannot lock " + path);
    }
  }
  ~HeldFile() { ::close(fd_); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

 private:
  int fd_;
};

}  // namespace pat::test
