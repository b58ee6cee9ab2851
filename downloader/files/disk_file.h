#pragma once

#include "downloader/files/device.h"

// A file on disk behind an open file, on a descriptor it owns.

namespace pat {

class DiskFile : public Device {
 public:
  explicit DiskFile(int fd) : fd_(fd) {}
  ~DiskFile() override;

  ssize_t read(char* into, std::size_t n) override;
  ssize_t write(const char* from, std::size_t n) override;
  // What lies between the position and the end of the file.
  std::uint64_t bytes_waiting() override;
  void wait_readable(int timeout_ms, int wake_fd) override;
  int close() override;

  bool has_position() const override { return true; }
  bool seek(std::uint64_t offset) override;
  std::optional<std::uint64_t> size() const override;

 private:
  int fd_;
};

}  // namespace pat
