#pragma once

#include <string_view>

// The settings of one open serial port, from the option text that follows
// "COM<n>:" in an open name.

namespace pat {

enum class Parity { none, even, odd, space, mark, pe };
enum class StopBits { one, one_and_half, two };

struct SerialSettings {
  int port = 0;
  long baud_rate = 300;
  Parity parity = Parity::even;
  int data_bits = 7;
  StopBits stop_bits = StopBits::one;
  bool ascii_mode = false;
  bool rts_off = false;
  bool line_feed = false;
  unsigned cd_ms = 0;
  unsigned cs_ms = 1000;
  unsigned ds_ms = 1000;
  unsigned op_ms = 0;

  friend bool operator==(const SerialSettings&, const SerialSettings&) = default;
};

// False when the name is no serial device name (it is then opened as a file).
// True with the settings filled in for a serial device name. A malformed
// serial name or option text raises error 64.
bool com_option_parse(std::string_view name, SerialSettings& settings);

}  // namespace pat
