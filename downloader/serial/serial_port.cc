#include "downloader/serial/serial_port.h"

#include "downloader/run_error.h"

namespace pat {

// Placeholders until the port layer is written.
std::string port_device_path(int) { return {}; }
int open_serial_port(const SerialSettings&) { raise_error(err::device_unavailable); }
std::uint64_t serial_bytes_waiting(int) { return 0; }
void serial_wait_readable(int, int) {}

}  // namespace pat
