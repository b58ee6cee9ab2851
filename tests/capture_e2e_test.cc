// Whole downloads of the captured formats from the simulated tester, in tmux.

#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const char* const waiting = " Waiting for data from Supernova. This can take up to 60 seconds";
const char* const reading = " Reading data from Supernova on COM port #3";

void start_capture(TmuxRun& run) { run.key("Enter"); }

std::string lines(int n, const std::string& end = "\r\n") {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "LINE " + std::to_string(i) + end;
  return s;
}

TEST(Capture, CertificateIsKeptByteForByte) {
  RunFolder folder;
  const std::string download = certificate_download(3);
  SimTester tester(folder, {.send = download, .baud = 19200});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(run.row(2), "");
  EXPECT_EQ(run.row(3), " File 'shop.txt' created.");
  EXPECT_EQ(run.row(4), "");
  EXPECT_NE(run.row(5), "");
  EXPECT_EQ(run.row(6), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
  // Everything up to the closing text; its CR LF is never read.
  EXPECT_EQ(folder.read("shop.txt"), download.substr(0, download.size() - 2));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Capture, ClosingTextInCapitalsEndsIt) {
  RunFolder folder;
  SimTester tester(folder, {.send = "abc\r\nEnd Of DATA\r\nmore", .baud = 19200});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "3");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(folder.read("shop.txt"), "abc\r\nEnd Of DATA");
}

TEST(Capture, PatsPlusTurnsEachLineEndIntoOneComma) {
  RunFolder folder;
  SimTester tester(folder, {.send = "A,1\r\nB,2\r\nx\ny\r\nend of data\r\n", .baud = 19200});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "pats", "1");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(folder.read("pats.txt"), "A,1,B,2,xy,end of data");
}

struct CountCase {
  std::string format;
  std::string before;  // sent, then a pause while the count is read
  std::string expected;
};

void PrintTo(const CountCase&, std::ostream* out) { *out << "case"; }


class RecordCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(RecordCount, ShownWhileReading) {
  const CountCase& c = GetParam();
  RunFolder folder;
  SimTester tester(folder, {.send = c.before + "end of data",
                            .baud = 0,
                            .pauses = {{static_cast<long>(c.before.size()), 3.0}}});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "count", c.format);
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, reading, 20)) << run.screen_text();
  EXPECT_TRUE(run.wait_row(3, " Writing record #" + c.expected, 2)) << run.screen_text();
  EXPECT_EQ(run.row(2), " Writing data to 'count.txt'");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RecordCount,
    ::testing::Values(CountCase{"3", lines(3), " 0"}, CountCase{"3", lines(4), " 1"},
                      CountCase{"3", lines(6), " 1"}, CountCase{"3", lines(7), " 2"},
                      CountCase{"1", std::string(13, ','), " 0"},
                      CountCase{"1", std::string(14, ','), " 1"},
                      CountCase{"1", std::string(28, ','), " 2"},
                      CountCase{"2", "+++", " 0"}, CountCase{"2", "a+b+c+d+", " 1"}),
    [](const auto& info) {
      return "Format" + info.param.format + "After" + std::to_string(info.param.before.size()) +
             "Bytes";
    });

// The minute of waiting with no data is tested on a fast clock, in process
// and in the capture's rules.

TEST(Capture, EscapeDuringTheWaitEndsItAtOnce) {
  RunFolder folder;
  folder.write("shop.txt", "an older download");
  SimTester tester(folder, {});
  TmuxRun run(folder);
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #"));
  run.type_line("3");
  ASSERT_TRUE(run.wait_row(9, " ?"));
  run.type_line("2");
  ASSERT_TRUE(run.wait_row(15, " ?"));
  run.type_line("shop");
  ASSERT_TRUE(run.wait_row(12, " Select"));
  run.type_line("2");
  ASSERT_TRUE(run.wait_contains("(Y/N) ?"));
  run.type_line("y");
  ASSERT_TRUE(run.wait_contains("Press ENTER to continue"));
  run.key("Enter");
  ASSERT_TRUE(run.wait_contains("START SEARCH"));
  start_capture(run);
  ASSERT_TRUE(run.wait_row(2, waiting)) << run.screen_text();
  run.key("Escape");
  ASSERT_TRUE(run.wait_row(1, " ERROR", 3)) << run.screen_text();
  // Nothing came to replace it: the existing file stays as it was.
  EXPECT_EQ(folder.read("shop.txt"), "an older download");
}

TEST(Capture, EscapeAfterTheFirstByteDoesNothing) {
  RunFolder folder;
  SimTester tester(folder, {.send = "abc+def\r\nend of data", .baud = 0, .pauses = {{3, 3.0}}});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, reading, 20)) << run.screen_text();
  run.key("Escape");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(folder.read("shop.txt"), "abc+def\r\nend of data");
}

struct SilenceCase {
  const char* name;
  double pause;  // seconds after the first 12 bytes
  std::string kept;
};

void PrintTo(const SilenceCase& c, std::ostream* out) { *out << c.name; }

class Silence : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(Silence, FiveSecondsAfterTheLastByteEndTheCapture) {
  const SilenceCase& c = GetParam();
  RunFolder folder;
  SimTester tester(folder, {.send = "first part\r\nsecond part\r\nend of data",
                            .baud = 0,
                            .pauses = {{12, c.pause}}});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, " Finished!", 30)) << run.screen_text();
  EXPECT_EQ(folder.read("shop.txt"), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Pauses, Silence,
    ::testing::Values(SilenceCase{"FourSecondsGoOn", 4.0,
                                  "first part\r\nsecond part\r\nend of data"},
                      SilenceCase{"SixSecondsEnd", 6.5, "first part\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NotAnsweringCase {
  const char* name;
  std::string port;
  bool held_by_another_program;
};

void PrintTo(const NotAnsweringCase& c, std::ostream* out) { *out << c.name; }

class NotAnswering : public ::testing::TestWithParam<NotAnsweringCase> {};

TEST_P(NotAnswering, ShowsThePortLinesAndDeletesTheOutputFile) {
  const NotAnsweringCase& c = GetParam();
  RunFolder folder;
  std::unique_ptr<SimTester> holder;
  if (c.held_by_another_program) {
    holder = std::make_unique<SimTester>(folder, TesterOptions{.port = 3, .hold_lock = true});
  }
  TmuxRun run(folder);
  answer_up_to_capture(run, c.port, "2", "shop", "2");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!")) << run.screen_text();
  EXPECT_EQ(run.row(3), " COM PORT " + c.port + " NOT ANSWERING");
  EXPECT_EQ(run.row(4), " Error: 68");
  EXPECT_EQ(run.row(7), " Version : 0.12 - 16-11-2019");
  EXPECT_FALSE(folder.exists("shop.txt"));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, NotAnswering,
                         ::testing::Values(NotAnsweringCase{"NoDevice", "200", false},
                                           NotAnsweringCase{"HeldByAnotherProgram", "3", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Capture, KilledMidCaptureKeepsEveryByteTaken) {
  RunFolder folder;
  const std::string first = certificate_blocks(20);
  SimTester tester(folder, {.send = first + certificate_download(5),
                            .baud = 0,
                            .pauses = {{static_cast<long>(first.size()), 30.0}}});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "2");
  start_capture(run);
  ASSERT_TRUE(run.wait_row(1, reading, 20)) << run.screen_text();
  // Let the program take what was sent before the pause, then kill it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(run.signal_program(SIGKILL));
  run.wait_exit();
  EXPECT_EQ(folder.read("shop.txt"), first);
}

}  // namespace
}  // namespace pat::test
