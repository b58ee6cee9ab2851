// Line noise in the wait (bytes 0 and 255, as a cable plugged in or a
// transmitter powering up leaves them) before the download: whole runs in
// tmux with the simulated tester.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const std::string stray_bytes = std::string(1, '\0') + "\xff";
// The 0 half a second into the wait; the 255, then the download, each more
// than five seconds after the byte before.
const std::vector<std::pair<long, double>> stray_pauses = {{0, 0.5}, {1, 5.5}, {2, 5.5}};

const char* const waiting = " Waiting for data from Supernova. This can take up to 60 seconds";
const std::string countdown_row = " Hit ESC to quit : ";

// The waiting screen with a countdown at `at_most` or below.
bool still_waiting(const std::vector<std::string>& screen, int at_most) {
  if (screen.size() < 3 || screen[1] != waiting) return false;
  if (screen[2].rfind(countdown_row, 0) != 0) return false;
  return std::stoi(screen[2].substr(countdown_row.size())) <= at_most;
}

struct NoiseCase {
  const char* name;
  std::string format;
  std::string file;  // the output file's name
  int finished_row;
  const char* finished;
};

void PrintTo(const NoiseCase& c, std::ostream* out) { *out << c.name; }

class StrayBytes : public ::testing::TestWithParam<NoiseCase> {};

// Beside each run with the noise, the same download without it: the files
// and the closing screens are the same.
TEST_P(StrayBytes, BeforeTheDownloadChangeNothing) {
  const NoiseCase& c = GetParam();
  const std::string download = certificate_download(3);
  RunFolder noisy, clean;
  SimTester noisy_tester(noisy,
                         {.send = stray_bytes + download, .baud = 19200, .pauses = stray_pauses});
  SimTester clean_tester(clean, {.send = download, .baud = 19200});
  TmuxRun noisy_run(noisy), clean_run(clean);
  answer_up_to_capture(noisy_run, "3", "2", "shop", c.format);
  answer_up_to_capture(clean_run, "3", "2", "shop", c.format);
  noisy_run.key("Enter");
  clean_run.key("Enter");

  // Both stray bytes have come and the download has not: the wait goes on.
  EXPECT_TRUE(noisy_run.wait_for([](const auto& s) { return still_waiting(s, 53); }, 20))
      << noisy_run.screen_text();
  ASSERT_TRUE(noisy_run.wait_row(c.finished_row, c.finished, 30)) << noisy_run.screen_text();
  ASSERT_TRUE(clean_run.wait_row(c.finished_row, c.finished, 30)) << clean_run.screen_text();
  EXPECT_EQ(noisy_run.screen(), clean_run.screen());
  EXPECT_EQ(noisy.read(c.file), clean.read(c.file));
  EXPECT_EQ(noisy.entries(), clean.entries());
  EXPECT_FALSE(noisy.exists("shop.tmp"));
  if (c.format == "2") {
    EXPECT_EQ(noisy.read(c.file), download.substr(0, download.size() - 2));
  }
  noisy_run.key("Enter");
  EXPECT_EQ(noisy_run.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, StrayBytes,
                         ::testing::Values(NoiseCase{"Certificate", "2", "shop.txt", 1, " Finished!"},
                                           NoiseCase{"CsvFile", "5", "shop.csv", 2, " Finished"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StrayBytes, ThenEscapeReceivedNoFile) {
  RunFolder folder;
  SimTester tester(folder, {.send = stray_bytes + stray_bytes,
                            .baud = 19200,
                            .pauses = {{0, 0.3}, {1, 0.3}, {2, 0.3}, {3, 0.3}}});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  run.key("Enter");
  // The stray bytes came within the first two seconds.
  ASSERT_TRUE(run.wait_for([](const auto& s) { return still_waiting(s, 57); }, 10))
      << run.screen_text();
  run.key("Escape");
  ASSERT_TRUE(run.wait_row(1, " ERROR", 3)) << run.screen_text();
  EXPECT_EQ(run.row(3), " NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
  EXPECT_FALSE(folder.exists("shop.txt"));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

}  // namespace
}  // namespace pat::test
