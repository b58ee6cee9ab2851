#include "downloader/serial/port_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "tests/support/file_bytes.h"
#include "tests/support/run_errors.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

using test::read_bytes;
using test::WorkingFolder;

using test::error_of;

// A port name never falls through to a file of that name: a malformed one
// or a port that cannot be had fails the open and creates nothing.
TEST(PortDeviceOpener, TellsPortNamesFromFileNames) {
  struct Case {
    std::string name;
    int expected;
    bool port;
  };
  const std::vector<Case> cases = {
      {"COM7:9600,N,8,1,BIN,CS0,DS0", 0, true},
      {"COM7:9600,Q,8,1", err::bad_file_name, false},
      {"COM:9600,N,8,1", err::bad_file_name, false},
      {"COM97:9600,N,8,1", err::device_unavailable, false},
      {"COM8:9600,N,8,1", err::device_unavailable, false},  // a dangling link
      {"COM7.txt", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkingFolder dir;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ASSERT_EQ(::symlink(::ptsname(master), "com7"), 0);
    ASSERT_EQ(::symlink("nowhere", "com8"), 0);

    FileTable files{open_port_device};
    EXPECT_EQ(error_of([&] { files.open_file(c.name, mode_output, 1); }), c.expected);
    EXPECT_EQ(files.is_open(1), c.expected == 0);
    if (files.is_open(1)) {
      EXPECT_EQ(files.entry(1)->device->has_position(), !c.port);
    }
    EXPECT_EQ(std::filesystem::exists(c.name), c.expected == 0 && !c.port);
    files.close_all();
    ::close(master);
  }
}

TEST(SerialPortEntry, ReadsBytesFromAPseudoTerminal) {
  WorkingFolder dir;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  ASSERT_EQ(::symlink(::ptsname(master), "com7"), 0);

  FileTable files{open_port_device};
  files.open_file("cap", mode_output, 2);
  files.open_file("COM7:9600,N,8,1,BIN,CS0,DS0", mode_input, 1);
  const OpenFile* port = files.entry(1);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->mode, mode_random);
  EXPECT_TRUE(port->can_read);
  EXPECT_TRUE(port->can_write);
  EXPECT_EQ(port->record_length, 128u);
  const auto* device = dynamic_cast<const PortDevice*>(port->device.get());
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->settings().port, 7);
  EXPECT_EQ(device->settings().baud_rate, 9600);

  files.print_to_file(2, "q", false);
  ASSERT_EQ(::write(master, "xyz", 3), 3);
  for (int i = 0; i < 100 && files.file_location(1) < 3; ++i) files.wait_for_data(1, 50);
  ASSERT_EQ(files.file_location(1), 3u);
  EXPECT_EQ(read_bytes("cap"), "q");

  FixedText one(1);
  std::string got;
  for (int i = 0; i < 3; ++i) {
    files.get_from_file(1, one);
    got += one.value();
    files.print_to_file(2, one.value(), false);
  }
  EXPECT_EQ(got, "xyz");
  EXPECT_FALSE(files.entry(1)->at_end);
  EXPECT_EQ(files.entry(1)->position, 0u);

  EXPECT_EQ(files.file_location(1), 0u);
  EXPECT_EQ(read_bytes("cap"), "qxyz");
  files.get_from_file(1, one);
  EXPECT_EQ(one.value(), std::string(1, '\0'));
  EXPECT_TRUE(files.entry(1)->at_end);
  EXPECT_EQ(error_of([&] { files.print_to_file(1, "x", false); }), err::bad_file_mode);

  files.close_file(1);
  EXPECT_FALSE(files.is_open(1));
  ::close(master);
}

// The master side of a new pseudo-terminal whose other side the name links
// to; -1 on failure.
int pty_linked_as(const char* name) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return -1;
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::symlink(::ptsname(master), name) != 0) {
    ::close(master);
    return -1;
  }
  return master;
}

TEST(SerialPortEntry, ReadAvailableTakesWhatIsReadAheadAtOnce) {
  WorkingFolder dir;
  const int master = pty_linked_as("com7");
  ASSERT_GE(master, 0);

  FileTable files{open_port_device};
  files.open_file("cap", mode_output, 2);
  files.open_file("COM7:9600,N,8,1,BIN,CS0,DS0", mode_random, 1);
  std::string got = "old";
  EXPECT_EQ(files.read_available(1, got), 0u);
  EXPECT_EQ(got, "");

  files.print_to_file(2, "q", false);
  ASSERT_EQ(::write(master, "xyz", 3), 3);
  for (int i = 0; i < 100 && files.file_location(1) < 3; ++i) files.wait_for_data(1, 50);
  FixedText one(1);
  files.get_from_file(1, one);
  EXPECT_EQ(one.value(), "x");
  // The rest of what was read ahead, without waiting for more.
  EXPECT_EQ(files.file_location(1), 2u);
  EXPECT_EQ(files.read_available(1, got), 2u);
  EXPECT_EQ(got, "yz");
  EXPECT_EQ(files.file_location(1), 0u);

  files.print_to_file(2, "yz", false);
  ASSERT_EQ(::write(master, "12345", 5), 5);
  for (int i = 0; i < 100 && files.file_location(1) < 5; ++i) files.wait_for_data(1, 50);
  EXPECT_EQ(files.read_available(1, got), 5u);
  EXPECT_EQ(got, "12345");
  // What was taken before reached the file before the port was read again.
  EXPECT_EQ(read_bytes("cap"), "qyz");
  EXPECT_FALSE(files.entry(1)->at_end);
  ::close(master);
}

TEST(SerialPortEntry, WaitForDataEndsWhenTheWakeDescriptorIsReadable) {
  WorkingFolder dir;
  const int master = pty_linked_as("com7");
  ASSERT_GE(master, 0);
  FileTable files{open_port_device};
  files.open_file("COM7:9600,N,8,1,BIN,CS0,DS0", mode_random, 1);
  int wake[2];
  ASSERT_EQ(::pipe2(wake, O_NONBLOCK), 0);

  using std::chrono::steady_clock;
  const auto waited_ms = [&](int timeout_ms) {
    const auto start = steady_clock::now();
    files.wait_for_data(1, timeout_ms, wake[0]);
    return std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start)
        .count();
  };
  EXPECT_GE(waited_ms(50), 45);  // nothing
  ASSERT_EQ(::write(wake[1], "ab", 2), 2);
  EXPECT_LT(waited_ms(5000), 1000);
  char left;
  EXPECT_EQ(::read(wake[0], &left, 1), -1) << "the descriptor is read empty";
  ::close(master);  // a hung-up line still lets the descriptor end the wait
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    [[maybe_unused]] ssize_t n = ::write(wake[1], "c", 1);
  });
  EXPECT_LT(waited_ms(5000), 1000);
  later.join();
  ::close(wake[0]);
  ::close(wake[1]);
}


}  // namespace
}  // namespace pat
