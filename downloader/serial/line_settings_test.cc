#include "downloader/serial/line_settings.h"

#include <gtest/gtest.h>

namespace pat {
namespace {

TEST(MakeRawLine, SetsFrameRateAndRawModeFromAnyStart) {
  const struct {
    long baud;
    int data_bits;
    Parity parity;
    StopBits stop_bits;
    tcflag_t size;
    tcflag_t frame;  // of PARENB, PARODD, CMSPAR, CSTOPB
  } cases[] = {
      {28800, 8, Parity::none, StopBits::one, CS8, 0},
      {19200, 7, Parity::even, StopBits::one, CS7, PARENB},
      {9600, 7, Parity::pe, StopBits::one, CS7, PARENB},
      {300, 7, Parity::odd, StopBits::two, CS7, PARENB | PARODD | CSTOPB},
      {1200, 6, Parity::mark, StopBits::one, CS6, PARENB | PARODD | CMSPAR},
      {110, 5, Parity::space, StopBits::one_and_half, CS5, PARENB | CMSPAR | CSTOPB},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    SerialSettings s;
    s.baud_rate = c.baud;
    s.data_bits = c.data_bits;
    s.parity = c.parity;
    s.stop_bits = c.stop_bits;
    // A line with every flag on: whatever was set before must not survive.
    termios2 t{};
    t.c_iflag = t.c_oflag = t.c_cflag = t.c_lflag = ~tcflag_t{0};
    t.c_ispeed = t.c_ospeed = 9600;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 10;
    make_raw_line(t, s);

    EXPECT_EQ(t.c_cflag & CSIZE, c.size);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB), c.frame);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ospeed, static_cast<speed_t>(c.baud));
    EXPECT_EQ(t.c_ispeed, static_cast<speed_t>(c.baud));
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP |
                           INPCK | PARMRK | BRKINT | IGNBRK),
              0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
  }
}

}  // namespace
}  // namespace pat
