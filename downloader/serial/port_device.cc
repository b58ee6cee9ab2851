#include "downloader/serial/port_device.h"

#include <unistd.h>

#include <cerrno>

#include "downloader/serial/serial_port.h"

namespace pat {

PortDevice::~PortDevice() {
  if (fd_ >= 0) ::close(fd_);
}

ssize_t PortDevice::read(char* into, std::size_t n) { return ::read(fd_, into, n); }

ssize_t PortDevice::write(const char* from, std::size_t n) { return ::write(fd_, from, n); }

std::uint64_t PortDevice::bytes_waiting() { return serial_bytes_waiting(fd_); }

void PortDevice::wait_readable(int timeout_ms, int wake_fd) {
  serial_wait_readable(fd_, timeout_ms, wake_fd);
}

int PortDevice::close() {
  const int result = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  return result;
}

// A stream cannot move, and keeps nothing: the system reports a size of 0
// for a terminal line.
bool PortDevice::seek(std::uint64_t) { return false; }

std::optional<std::uint64_t> PortDevice::size() const { return 0; }

std::unique_ptr<Device> open_port_device(std::string_view name) {
  SerialSettings settings;
  if (!com_option_parse(name, settings)) return nullptr;
  return std::make_unique<PortDevice>(open_serial_port(settings), settings);
}

}  // namespace pat
