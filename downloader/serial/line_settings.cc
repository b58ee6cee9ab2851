#include "downloader/serial/line_settings.h"

namespace pat {
namespace {

tcflag_t data_bits_flag(int bits) {
  switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

tcflag_t parity_flags(Parity parity) {
  switch (parity) {
    case Parity::none: return 0;
    case Parity::odd: return PARENB | PARODD;
    case Parity::mark: return PARENB | PARODD | CMSPAR;
    case Parity::space: return PARENB | CMSPAR;
    case Parity::even:
    case Parity::pe: return PARENB;  // the program never asks for PE
  }
  return 0;
}

}  // namespace

void make_raw_line(termios2& t, const SerialSettings& s) {
  // No parity check on input either: a byte with a parity error is kept as
  // received rather than turned into a zero.
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                 IUCLC | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                 (CBAUD << IBSHIFT));
  t.c_cflag |= CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
  t.c_cflag |= data_bits_flag(s.data_bits) | parity_flags(s.parity);
  // Linux has no 1.5 stop bits; two is the nearest the line can do.
  if (s.stop_bits != StopBits::one) t.c_cflag |= CSTOPB;
  t.c_ispeed = static_cast<speed_t>(s.baud_rate);
  t.c_ospeed = static_cast<speed_t>(s.baud_rate);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

}  // namespace pat
