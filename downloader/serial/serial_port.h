#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "downloader/serial/serial_settings.h"

// The receiving side of one port on POSIX termios.

namespace pat {

// The device that port n names: an entry "com<n>" in the working directory,
// in any letter case (own_file_name), when there is one, else the default
// table; empty for no device.
std::string port_device_path(int port);

// Opens and sets up the port; raises 68 on any failure (nothing left open),
// among them another process holding the device open. Returns the descriptor.
int open_serial_port(const SerialSettings& settings);

// Whether a process other than this one has the character device `device`
// open. Processes whose descriptors we may not read are not seen.
bool device_open_elsewhere(dev_t device);

// Bytes received and not yet read; 0 when the query fails.
std::uint64_t serial_bytes_waiting(int fd);

// Blocks until a byte is waiting, wake_fd (unless -1) is readable, or
// timeout_ms has passed. A readable wake_fd is read empty.
void serial_wait_readable(int fd, int timeout_ms, int wake_fd = -1);

}  // namespace pat
