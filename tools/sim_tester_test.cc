#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "tests/support/scratch_folder.h"

extern char** environ;

namespace pat {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs the tool (built beside this test program) in a temporary folder.
class SimTester : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = fs::read_symlink("/proc/self/exe").parent_path() / "sim_tester";
    ASSERT_TRUE(fs::exists(tool_)) << "build the sim_tester target first: " << tool_;
    saved_ = fs::current_path();
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    fs::current_path(saved_);
  }

  // Starts the tool on link com12 and waits until it reports ready.
  void start(std::vector<std::string> args) {
    args.insert(args.begin(), {tool_.string(), "--link", (dir_ / "com12").string(),
                               "--timeout", "30", "--ready", (dir_ / "ready").string()});
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ASSERT_EQ(::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!fs::exists(dir_ / "ready")) {
      ASSERT_LT(Clock::now(), deadline) << "the tool never became ready";
      ASSERT_NE(::waitpid(pid_, nullptr, WNOHANG), pid_) << "the tool ended early";
      ::poll(nullptr, 0, 10);
    }
    ASSERT_TRUE(fs::is_symlink(dir_ / "com12"));
  }

  int open_port() {
    fs::current_path(dir_);
    SerialSettings s;
    s.port = 12;
    s.baud_rate = 28800;
    s.parity = Parity::none;
    s.data_bits = 8;
    try {
      const int fd = open_serial_port(s);
      fs::current_path(saved_);
      return fd;
    } catch (...) {
      fs::current_path(saved_);
      throw;
    }
  }

  int exit_status() {
    int status = -1;
    EXPECT_EQ(::waitpid(pid_, &status, 0), pid_);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  test::ScratchFolder folder_{"pat-sim-tester"};
  fs::path tool_, dir_{folder_.path()}, saved_;
  pid_t pid_ = 0;
};

TEST_F(SimTester, SendsWholeDownloadOnceThePortIsSetUp) {
  // Every byte value, many times over, so that any line processing shows.
  std::string download;
  for (int i = 0; i < 200000; ++i) download += static_cast<char>((i * 7 + i / 256) & 0xff);
  const fs::path send = dir_ / "download.bin";
  std::ofstream(send, std::ios::binary) << download;
  start({"--send", send.string(), "--fast"});
  struct stat line;
  ASSERT_EQ(::stat((dir_ / "com12").c_str(), &line), 0);
  ASSERT_FALSE(device_open_elsewhere(line.st_rdev)) << "the tester holds the port's side";

  const int fd = open_port();
  std::string got;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (got.size() < download.size() && Clock::now() < deadline) {
    if (serial_bytes_waiting(fd) == 0) serial_wait_readable(fd, 100);
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ASSERT_GE(n, 0);
    got.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);

  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(got.size(), download.size());
  EXPECT_TRUE(got == download) << "bytes differ";
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "com12"))) << "link left behind";
}

TEST_F(SimTester, HeldPortIsRefusedUntilTheHolderEnds) {
  start({"--hold-lock"});
  try {
    ::close(open_port());
    ADD_FAILURE() << "a held port was opened";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number, 68);
  }
  ::kill(pid_, SIGTERM);
  EXPECT_EQ(exit_status(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "com12"))) << "link left behind";
}

}  // namespace
}  // namespace pat
