// Runs that go wrong around the download lose nothing: the file a run would
// replace stays until the first byte comes, a port answer that names no port
// makes no file, another copy's kept download is never deleted, and every
// screen that ends a run with the download kept says where it is. Whole runs
// in tmux with the simulated tester.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const char* const waiting = " Waiting for data from Supernova. This can take up to 60 seconds";
const char* const version_line = " Version : 0.12 - 16-11-2019";
const std::string last_month = "last month's download\r\nend of data";

// What a capture writes of what was sent: nothing after the closing text.
std::string up_to_closing_text(const std::string& sent) {
  return sent.substr(0, sent.find("end of data") + 11);
}

enum class Ending { escape, port_not_answering, end_request };

struct BeforeFirstByteCase {
  const char* name;
  Ending ending;
  bool existed;  // the output file stood there before the run
  std::string format = "2";
};

void PrintTo(const BeforeFirstByteCase& c, std::ostream* out) { *out << c.name; }

class BeforeTheFirstByte : public ::testing::TestWithParam<BeforeFirstByteCase> {};

// The operator agreed to replace the file with a new download, not to lose
// it for nothing.
TEST_P(BeforeTheFirstByte, TheOutputIsAsItWasOrGone) {
  const BeforeFirstByteCase& c = GetParam();
  const std::string name = c.format == "5" ? "shop.csv" : "shop.txt";
  RunFolder folder;
  if (c.existed) folder.write(name, last_month);
  std::unique_ptr<SimTester> tester;
  if (c.ending != Ending::port_not_answering) tester = std::make_unique<SimTester>(folder, TesterOptions{});
  TmuxRun run(folder);
  const std::string port = c.ending == Ending::port_not_answering ? "200" : "3";
  const std::string missing = dialogue_up_to_capture(
      run, {.port = port, .name = "shop", .format = c.format, .overwrite = c.existed});
  ASSERT_TRUE(missing.empty()) << missing;
  run.key("Enter");
  switch (c.ending) {
    case Ending::escape:
      ASSERT_TRUE(run.wait_row(2, waiting)) << run.screen_text();
      run.key("Escape");
      ASSERT_TRUE(run.wait_row(1, " ERROR")) << run.screen_text();
      ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
      EXPECT_EQ(run.row(3), " NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
      EXPECT_EQ(run.row(6), version_line);
      run.key("Enter");
      break;
    case Ending::port_not_answering:
      ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!")) << run.screen_text();
      ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
      EXPECT_EQ(run.row(3), " COM PORT 200 NOT ANSWERING");
      EXPECT_EQ(run.row(4), " Error: 68");
      EXPECT_EQ(run.row(7), version_line);
      run.key("Enter");
      break;
    case Ending::end_request:
      ASSERT_TRUE(run.wait_row(2, waiting)) << run.screen_text();
      run.key("C-c");
      break;
  }
  ASSERT_EQ(run.wait_exit(), 0) << run.screen_text();
  if (c.existed) {
    EXPECT_EQ(folder.read(name), last_month);
  } else {
    EXPECT_FALSE(folder.exists(name));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, BeforeTheFirstByte,
    ::testing::Values(
        BeforeFirstByteCase{"EscapeOverAnOldFile", Ending::escape, true},
        BeforeFirstByteCase{"PortNotAnsweringOverAnOldFile", Ending::port_not_answering, true},
        BeforeFirstByteCase{"CtrlCOverAnOldFile", Ending::end_request, true},
        BeforeFirstByteCase{"EscapeOnANewName", Ending::escape, false},
        BeforeFirstByteCase{"PortNotAnsweringOnANewName", Ending::port_not_answering, false},
        BeforeFirstByteCase{"CtrlCOnANewName", Ending::end_request, false},
        BeforeFirstByteCase{"EscapeOverAnOldCsvFile", Ending::escape, true, "5"}),
    [](const auto& info) { return std::string(info.param.name); });

// A download that comes still replaces the old file, exactly: nothing of the
// longer old file stays behind its end.
TEST(OldFile, AWholeDownloadReplacesItExactly) {
  RunFolder folder;
  folder.write("shop.txt", certificate_download(9));
  const std::string download = certificate_download(2);
  SimTester tester(folder, {.send = download, .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture_overwriting(run, "shop", "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 30)) << run.screen_text();
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  EXPECT_EQ(run.row(3), " File 'shop.txt' created.");
  EXPECT_EQ(folder.read("shop.txt"), up_to_closing_text(download));
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

// A port answer that is no whole number of plain digits gives an open text
// that names no serial device: the port does not answer, and no file of that
// text appears in the program's folder.
TEST(PortAnswer, AFractionOrAnExponentIsAPortThatDoesNotAnswer) {
  struct Case {
    std::string typed;
    std::string shown;
  };
  for (const Case& c : {Case{"2.5", "2.5"}, Case{"10000000", "1E+07"}}) {
    SCOPED_TRACE(c.typed);
    RunFolder folder;
    folder.write("shop.txt", last_month);
    TmuxRun run(folder);
    const std::string missing =
        dialogue_up_to_capture(run, {.port = c.typed, .name = "shop", .format = "2", .overwrite = true});
    ASSERT_TRUE(missing.empty()) << missing;
    run.key("Enter");
    ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!")) << run.screen_text();
    ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
    EXPECT_EQ(run.row(3), " COM PORT " + c.shown + " NOT ANSWERING");
    EXPECT_EQ(run.row(4), " Error: 68");
    run.key("Enter");
    ASSERT_EQ(run.wait_exit(), 0);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"shop.txt"});
    EXPECT_EQ(folder.read("shop.txt"), last_month);
  }
}

// Two copies in one folder under one name: B keeps its download cut inside a
// record under shop.tmp while A is still capturing; A's conversion, which
// never asked about shop.tmp, leaves it alone and keeps its own download.
TEST(TwoCopies, AKeptCopyIsNeverDeletedByTheOtherRun) {
  RunFolder folder;
  // A's download arrives slowly, so that its capture outlasts B's whole run.
  const std::string a_sent = certificate_download(2);
  SimTester a_tester(folder, {.port = 3, .send = a_sent, .baud = 600});
  TmuxRun a(folder);
  answer_up_to_capture(a, "3", "2", "shop", "5");
  a.key("Enter");
  ASSERT_TRUE(a.wait_row(1, " Reading data from Supernova on COM port #3", 20)) << a.screen_text();

  // B's tester stops 106 bytes into its fourth record.
  const std::string b_sent = certificate_blocks(3) + certificate_blocks(1, 4).substr(0, 106);
  SimTester b_tester(folder, {.port = 4, .send = b_sent, .baud = 0});
  TmuxRun b(folder);
  answer_up_to_capture(b, "4", "2", "shop", "6");
  b.key("Enter");
  ASSERT_TRUE(b.wait_row(5, " The download is kept in 'shop.tmp'", 30)) << b.screen_text();
  ASSERT_TRUE(b.wait_row(25, "Press any key to continue")) << b.screen_text();
  EXPECT_EQ(b.row(4), " Lorvane Data File 'shop.pat' created");
  b.key("Enter");
  ASSERT_EQ(b.wait_exit(), 0);
  ASSERT_FALSE(a.ended()) << "A's capture ended before B's run did: " << a.screen_text();

  ASSERT_TRUE(a.wait_row(1, " FATAL PROGRAMME ERROR!!", 60)) << a.screen_text();
  ASSERT_TRUE(a.wait_row(25, "Press any key to continue")) << a.screen_text();
  EXPECT_EQ(a.row(2), " Error: 55");
  EXPECT_EQ(a.row(3), " The download is kept in 'shop.csv'");
  EXPECT_EQ(a.row(4), "");
  EXPECT_EQ(a.row(6), version_line);
  a.key("Enter");
  EXPECT_EQ(a.wait_exit(), 0);
  EXPECT_EQ(folder.read("shop.tmp"), b_sent);
  EXPECT_EQ(folder.read("shop.csv"), up_to_closing_text(a_sent));
}

// Error screens that end a conversion with the whole download in its copy:
// a comment block cut off by the end of the download, and a converted file
// that cannot be written whole (a file-size limit stands in for a full disk:
// the capture fits, the report with its long header does not).
TEST(ErrorScreens, AFailedConversionNamesTheCopy) {
  std::string header;
  while (header.size() < 12 * 1024) header += std::string(70, 'H') + "\r\n";
  struct Case {
    const char* name;
    std::string sent;
    std::string format;
    std::string program;
    int error;
  };
  const Case cases[] = {
      {"cut comment block",
       certificate_blocks(2) + "APPLIANCE: A0003\r\nCOMMENTS: CUT OFF\r\nend of data\r\n", "5",
       "./pat-downloader", 62},
      // bash counts the limit in KiB.
      {"failed write", certificate_download(3), "7",
       "bash -c 'ulimit -f 8 && exec ./pat-downloader'", 75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunFolder folder;
    folder.write("quelmarint.cfg", "ReportFormat=2\r\n");
    folder.write("header.txt", header);
    ASSERT_LT(c.sent.size(), 8u * 1024);
    SimTester tester(folder, {.send = c.sent, .baud = 0});
    TmuxRun run(folder, "", c.program);
    answer_up_to_capture(run, "3", "2", "shop", c.format);
    run.key("Enter");
    ASSERT_TRUE(run.wait_row(1, " FATAL PROGRAMME ERROR!!", 30)) << run.screen_text();
    ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
    EXPECT_EQ(run.row(2), " Error: " + std::to_string(c.error));
    EXPECT_EQ(run.row(3), " The download is kept in 'shop.tmp'");
    EXPECT_EQ(run.row(4), "");
    EXPECT_EQ(run.row(5), "");
    EXPECT_EQ(run.row(6), version_line);
    run.key("Enter");
    EXPECT_EQ(run.wait_exit(), 0);
    EXPECT_EQ(folder.read("shop.tmp"), up_to_closing_text(c.sent));
  }
}

// The tester left on CERTIFICATE for the summary-based report: the report is
// made as ever, and the download stays whole beside it.
TEST(SummaryReport, ACertificateDownloadIsKept) {
  RunFolder folder;
  folder.write("quelmarint.cfg", "ReportFormat=1\r\n");
  const std::string sent = certificate_download(3);
  SimTester tester(folder, {.send = sent, .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "7");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 30)) << run.screen_text();
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  EXPECT_EQ(run.row(3), " File 'shop.txt' created.");
  EXPECT_EQ(run.row(4), " The download is kept in 'shop.xtx'");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
  EXPECT_EQ(folder.read("shop.xtx"), up_to_closing_text(sent));
  const std::string report = folder.read("shop.txt");
  EXPECT_EQ(report.rfind("Appliance ID     Date", 0), 0u) << report;
}

}  // namespace
}  // namespace pat::test
