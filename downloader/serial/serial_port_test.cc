// The kernel's termios2 reads back the free baud rate; it clashes with
// <termios.h>, so only the kernel's names are used here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "downloader/run_error.h"
#include "downloader/serial/serial_port.h"
#include "downloader/serial/serial_settings.h"

namespace pat {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh working directory, where com<N> links live.
class PortFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    std::string templ = (fs::temp_directory_path() / "serial_port_XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    fs::current_path(dir_);
  }
  void TearDown() override {
    for (int fd : fds_) ::close(fd);
    fs::current_path(saved_);
    fs::remove_all(dir_);
  }

  // A new pseudo-terminal; returns the slave's path and keeps the master.
  std::string make_pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    fds_.push_back(master_);
    EXPECT_EQ(::grantpt(master_), 0);
    EXPECT_EQ(::unlockpt(master_), 0);
    char name[256];
    EXPECT_EQ(::ptsname_r(master_, name, sizeof name), 0);
    // Start from a cooked line with flow control, as a fresh port may be.
    termios2 t{};
    EXPECT_EQ(::ioctl(master_, TCGETS2, &t), 0);
    t.c_iflag |= ICRNL | IXON | IXOFF | INPCK | ISTRIP;
    t.c_oflag |= OPOST;
    t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    EXPECT_EQ(::ioctl(master_, TCSETS2, &t), 0);
    return name;
  }

  // Opens port `port` through a com<port> link to a new pseudo-terminal.
  int open_pty_port(SerialSettings s) {
    const std::string slave = make_pty();
    fs::create_symlink(slave, "com" + std::to_string(s.port));
    const int fd = open_serial_port(s);
    fds_.push_back(fd);
    return fd;
  }

  termios2 line_settings() {
    termios2 t{};
    EXPECT_EQ(::ioctl(master_, TCGETS2, &t), 0);
    return t;
  }

  static SerialSettings settings_8n1(int port, long baud) {
    SerialSettings s;
    s.port = port;
    s.baud_rate = baud;
    s.parity = Parity::none;
    s.data_bits = 8;
    s.stop_bits = StopBits::one;
    s.cs_ms = 0;
    s.ds_ms = 0;
    return s;
  }

  static int error_of(const SerialSettings& s) {
    try {
      ::close(open_serial_port(s));
    } catch (const RunError& e) {
      return e.number;
    }
    return 0;
  }

  fs::path saved_;
  fs::path dir_;
  int master_ = -1;
  std::vector<int> fds_;
};

TEST_F(PortFolder, PortNumbersNameDevices) {
  fs::create_symlink("/dev/null", "com3");
  fs::create_symlink(dir_ / "nowhere", "com4");  // dangling still counts
  std::ofstream("com40").put('x');
  std::ofstream("COM6").put('x');  // only the lower-case name is looked up
  const struct {
    int port;
    std::string device;
  } cases[] = {
      {1, "/dev/ttyS0"},     {2, "/dev/ttyS1"},      {3, "com3"},
      {4, "com4"},           {6, "/dev/ttyS5"},      {32, "/dev/ttyS31"},
      {33, "/dev/ttyUSB0"},  {40, "com40"},          {64, "/dev/ttyUSB31"},
      {65, "/dev/ttyACM0"},  {96, "/dev/ttyACM31"},  {97, ""},
      {255, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(port_device_path(c.port), c.device) << "port " << c.port;
  }
}

TEST_F(PortFolder, OpenSetsRawLineAtFreeRate) {
  const int fd = open_pty_port(settings_8n1(3, 28800));
  const termios2 t = line_settings();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | IXANY | INPCK | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
  EXPECT_EQ(t.c_ospeed, 28800u);
  EXPECT_EQ(t.c_ispeed, 28800u);
  // A pseudo-terminal always reports CS8 without PARENB; the frame is
  // checked on the line settings themselves.
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // With nothing waiting a read returns at once with no byte, not an error.
  char byte;
  EXPECT_EQ(::read(fd, &byte, 1), 0);
}

TEST_F(PortFolder, UnavailableDevicesAreRefused) {
  fs::create_symlink(dir_ / "nowhere", "com5");
  EXPECT_EQ(error_of(settings_8n1(200, 9600)), 68);  // no device at all
  EXPECT_EQ(error_of(settings_8n1(5, 9600)), 68);    // dangling link
  std::ofstream("com6").put('x');                    // no terminal
  EXPECT_EQ(error_of(settings_8n1(6, 9600)), 68);
}

TEST_F(PortFolder, PortHeldByAnotherProgramIsRefused) {
  const std::string slave = make_pty();
  fs::create_symlink(slave, "com7");
  const int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_EQ(error_of(settings_8n1(7, 9600)), 68);
  ::close(holder);
  EXPECT_EQ(error_of(settings_8n1(7, 9600)), 0);
}

TEST_F(PortFolder, ReportsBytesWaitingAsSent) {
  const int fd = open_pty_port(settings_8n1(8, 19200));
  EXPECT_EQ(serial_bytes_waiting(fd), 0u);

  // Bytes a cooked line would change or act on must arrive as sent.
  const std::string sent = "ab\r\n\x03\x11\x13\x7f\x1a\xff";
  ASSERT_EQ(::write(master_, sent.data(), sent.size()),
            static_cast<ssize_t>(sent.size()));
  serial_wait_readable(fd, 2000);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (serial_bytes_waiting(fd) < sent.size() &&
         std::chrono::steady_clock::now() < deadline) {
    ::usleep(1000);  // the line hands bytes on in the background
  }
  EXPECT_EQ(serial_bytes_waiting(fd), sent.size());
  std::string got(sent.size(), '\0');
  ASSERT_EQ(::read(fd, got.data(), got.size()), static_cast<ssize_t>(got.size()));
  EXPECT_EQ(got, sent);
  EXPECT_EQ(serial_bytes_waiting(fd), 0u);
  EXPECT_EQ(serial_bytes_waiting(-1), 0u);
}

TEST_F(PortFolder, WaitForDataSleepsRatherThanSpins) {
  const int fd = open_pty_port(settings_8n1(9, 9600));
  using std::chrono::steady_clock;
  auto waited_ms = [&] {
    const auto start = steady_clock::now();
    serial_wait_readable(fd, 50);
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               steady_clock::now() - start).count();
  };
  EXPECT_GE(waited_ms(), 45);  // nothing arrives
  ::close(master_);
  fds_.erase(std::find(fds_.begin(), fds_.end(), master_));
  EXPECT_GE(waited_ms(), 45);  // a hung-up line reports at once, every time
}

}  // namespace
}  // namespace pat
