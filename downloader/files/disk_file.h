#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "downloader/files/device.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/file_mode.h"

// A file on disk behind an open file, on a descriptor it owns, and the open
// that makes it safely: never waiting on a FIFO, never a folder, locked
// against other copies of the program, still under its name once locked.

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

// A file on disk as its open found it.
struct DiskOpening {
  std::unique_ptr<DiskFile> file;
  int fd = -1;       // the file's descriptor, owned by file
  std::string path;  // the name as the system holds it
  bool can_read = false;
  bool can_write = false;
  bool created = false;   // this open made it (an exclusive create)
  FileIdentity identity;  // the file as the open found it
  bool keep_until_written = false;  // an output emptied only by its first byte
};

// Opens the program's name (not a device name) in the mode; every failure
// raises its run-time error. A reader holds a shared lock where it can, a
// writer an exclusive one or the open is refused (70); an output is emptied
// now unless its emptying waits for the first byte.
DiskOpening open_disk_file(std::string_view name, FileMode mode, Emptying emptying);

}  // namespace pat
