// The kernel's termios2 reads back the free baud rate; it clashes with
// <termios.h>, so only the kernel's names are used here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "downloader/run_error.h"
#include "downloader/serial/serial_port.h"
#include "downloader/serial/serial_settings.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh working directory, where com<N> links live.
class PortFolder : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int fd : fds_) ::close(fd);
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

  test::WorkingFolder folder_{"pat-serial"};
  fs::path dir_{folder_.path()};
  int master_ = -1;
  std::vector<int> fds_;
};

TEST_F(PortFolder, PortNumbersNameDevices) {
  fs::create_symlink("/dev/null", "com3");
  fs::create_symlink(dir_ / "nowhere", "com4");  // dangling still counts
  std::ofstream("com40").put('x');
  std::ofstream("COM6").put('x');  // found in another letter case too
  const struct {
    int port;
    std::string device;
  } cases[] = {
      {1, "/dev/ttyS0"},     {2, "/dev/ttyS1"},      {3, "com3"},
      {4, "com4"},           {6, "COM6"},           {32, "/dev/ttyS31"},
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

// A child process that opens `path` (or nothing, for an empty path) without
// a lock and keeps it, with every descriptor it inherited, until destroyed.
class ChildHolder {
 public:
  explicit ChildHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      const char ok = path.empty() || ::open(path.c_str(), O_RDWR | O_NOCTTY) >= 0;
      [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
      while (true) ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    opened_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok;
    ::close(ready[0]);
  }
  ~ChildHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  bool opened_ = false;
};

bool exclusive(const std::string& tty) {
  const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  int excl = -1;
  EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
  ::close(fd);
  return excl != 0;
}

TEST_F(PortFolder, PortOpenInAnotherProcessIsRefused) {
  enum class Other { nothing, child_holds_port, child_holds_master, child_holds_other_line,
                     we_hold_port_twice };
  const struct {
    const char* name;
    Other other;
    int error;
  } cases[] = {
      {"nothing else open", Other::nothing, 0},
      {"another process reads the port", Other::child_holds_port, 68},
      {"another process has only the master side", Other::child_holds_master, 0},
      {"another process has another line", Other::child_holds_other_line, 0},
      {"this process has the port open already", Other::we_hold_port_twice, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove("com10");
    const std::string slave = make_pty();
    fs::create_symlink(slave, "com10");
    std::string held;
    if (c.other == Other::child_holds_port) held = slave;
    if (c.other == Other::child_holds_other_line) {
      const int other_master = master_;
      held = make_pty();
      master_ = other_master;
    }
    if (c.other == Other::we_hold_port_twice) {
      const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
      ASSERT_GE(fd, 0);
      fds_.push_back(fd);
    }
    std::unique_ptr<ChildHolder> child;
    if (c.other != Other::nothing && c.other != Other::we_hold_port_twice) {
      child = std::make_unique<ChildHolder>(held);
      ASSERT_TRUE(child->opened());
    }
    const termios2 before = line_settings();

    EXPECT_EQ(error_of(settings_8n1(10, 28800)), c.error);

    if (c.error != 0) {
      // Refused: the holder's line is as it was, and not left exclusive.
      const termios2 after = line_settings();
      EXPECT_EQ(after.c_iflag, before.c_iflag);
      EXPECT_EQ(after.c_oflag, before.c_oflag);
      EXPECT_EQ(after.c_cflag, before.c_cflag);
      EXPECT_EQ(after.c_lflag, before.c_lflag);
      EXPECT_EQ(after.c_ospeed, before.c_ospeed);
      EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc), 0);
      EXPECT_FALSE(exclusive(slave));
      child.reset();
      EXPECT_EQ(error_of(settings_8n1(10, 28800)), 0) << "once the holder has gone";
    }
  }
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
