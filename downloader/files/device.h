#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

// What an open file reads and writes through: a file on disk, or a device
// such as a serial port. Reads and writes answer as the system's do, so
// that the file table alone turns failures into run-time error numbers.

namespace pat {

class Device {
 public:
  Device() = default;
  virtual ~Device() = default;  // closes the device if still open
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Up to n bytes; the count, or -1 with errno set. 0 is the end of a file,
  // or nothing waiting on a port.
  virtual ssize_t read(char* into, std::size_t n) = 0;
  // The count taken, or -1 with errno set.
  virtual ssize_t write(const char* from, std::size_t n) = 0;
  // Bytes that a read would return now; 0 when that cannot be had.
  virtual std::uint64_t bytes_waiting() = 0;
  // Blocks until a byte is waiting, wake_fd (when not -1) is readable, or
  // timeout_ms has passed. A wake_fd that reported is read empty.
  virtual void wait_readable(int timeout_ms, int wake_fd) = 0;
  // Closes the device: 0, or the errno of the failed close.
  virtual int close() = 0;

  // A file has positions; a port is a stream without them.
  virtual bool has_position() const = 0;
  // Reads and writes go on from the byte offset; false on failure.
  virtual bool seek(std::uint64_t offset) = 0;
  // The size in bytes; none when it cannot be had.
  virtual std::optional<std::uint64_t> size() const = 0;
};

// Recognises a device name and opens the device it names. Null for a name
// that names no device (it is then a file on disk); a malformed device name
// or a device that cannot be had raises its run-time error.
using DeviceOpener = std::unique_ptr<Device> (*)(std::string_view name);

}  // namespace pat
