// A port that another program has open without a lock is not shared.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

// A child that reads the line as `cat` would: no lock, every byte taken.
class PlainReader {
 public:
  explicit PlainReader(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY);
      const char ok = fd >= 0;
      [[maybe_unused]] ssize_t n = write(ready[1], &ok, 1);
      close(ready[1]);
      char buf[256];
      while (fd >= 0 && read(fd, buf, sizeof buf) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    char ok = 0;
    opened_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok;
    close(ready[0]);
  }
  ~PlainReader() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  bool opened_ = false;
};

TEST(PortSharing, PortReadByAnotherProgramIsNotAnswering) {
  RunFolder folder;
  SimTester tester(folder, {.send = certificate_download(3), .baud = 19200});
  const std::string line = std::filesystem::read_symlink(folder.file("com3")).string();
  PlainReader reader(line);
  ASSERT_TRUE(reader.opened()) << line;

  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!")) << run.screen_text();
  EXPECT_EQ(run.row(3), " COM PORT 3 NOT ANSWERING");
  EXPECT_EQ(run.row(4), " Error: 68");
  EXPECT_EQ(run.row(7), " Version : 0.12 - 16-11-2019");
  EXPECT_FALSE(folder.exists("shop.txt"));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

}  // namespace
}  // namespace pat::test
