#pragma once

#include <memory>
#include <string_view>

#include "downloader/files/device.h"
#include "downloader/serial/serial_settings.h"

// A serial port behind an open file, and the opener that tells its names
// ("COM<n>:options") from file names.

namespace pat {

class PortDevice : public Device {
 public:
  // Takes the descriptor of a port set up with the settings.
  PortDevice(int fd, const SerialSettings& settings) : fd_(fd), settings_(settings) {}
  ~PortDevice() override;

  // For tests of what the opener read from a name; the port keeps to them.
  const SerialSettings& settings() const { return settings_; }

  ssize_t read(char* into, std::size_t n) override;
  ssize_t write(const char* from, std::size_t n) override;
  std::uint64_t bytes_waiting() override;
  void wait_readable(int timeout_ms, int wake_fd) override;
  int close() override;

  bool has_position() const override { return false; }
  bool seek(std::uint64_t offset) override;
  std::optional<std::uint64_t> size() const override;

 private:
  int fd_;
  SerialSettings settings_;
};

// The file table's device opener for serial ports: null for a name that is
// no port name; raises 64 for a malformed one and 68 for a port that cannot
// be had.
std::unique_ptr<Device> open_port_device(std::string_view name);

}  // namespace pat
