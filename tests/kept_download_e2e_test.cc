// Downloads whose conversion lost records: the raw download stays beside the
// converted file and the finishing lines name it. Whole runs in tmux with the
// simulated tester.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const std::string eof26(1, '\x1a');

// What the capture writes of a download: every byte up to the end of the
// closing text, as received; all of it when the silence ends the capture.
std::string captured(const std::string& sent) {
  const std::string closing = "end of data";
  const std::size_t end = sent.find(closing);
  return end == std::string::npos ? sent : sent.substr(0, end + closing.size());
}

// A summary download: one line per appliance, no certificate block.
std::string summary_download(int appliances) {
  std::string s = "Id         Tested      Site             Location         User     Result\r\n";
  for (int i = 1; i <= appliances; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "A%04d      05/03/2019  NORTH WORKSHOP   STORE ROOM 2     J SMITH  PASS\r\n", i);
    s += line;
  }
  return s + "end of data\r\n";
}

const std::string csv_title =
    "Appliance,Date,Time,Site,Location,User,Test1,Test2,Visual,Insulation Value,Result,"
    "Touch Leakage,Result,Earth Value, Result,Leakage, Result,Load, Result,Overall Result,"
    " Sub Leakage Value, Result,Flash Value, Result,IEC Lead,Comment #1,Comment #2, Comment "
    "#3,Comment #4\n";

struct KeptCase {
  const char* name;
  std::string sent;
  int csv_rows;  // rows after the title line
};

void PrintTo(const KeptCase& c, std::ostream* out) { *out << c.name; }

class KeptCsvDownload : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptCsvDownload, StaysUnderTheTemporaryName) {
  const KeptCase& c = GetParam();
  RunFolder folder;
  SimTester tester(folder, {.send = c.sent, .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "shop", "5");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), " CSV File 'shop.csv' created");
  EXPECT_EQ(run.row(5), " The download is kept in 'shop.tmp'");
  EXPECT_EQ(run.row(6), "");
  EXPECT_NE(run.row(7), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
  EXPECT_EQ(folder.read("shop.tmp"), captured(c.sent));
  const std::string csv = folder.read("shop.csv");
  ASSERT_EQ(csv.compare(0, csv_title.size(), csv_title), 0) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + c.csv_rows) << csv;
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lost, KeptCsvDownload,
    ::testing::Values(KeptCase{"SummaryDownload", summary_download(40), 0},
                      KeptCase{"ByteTwentySixAQuarterIn",
                               certificate_blocks(1) + eof26 + certificate_blocks(3, 2) +
                                   "end of data\r\n",
                               1},
                      // The tester cut off after 106 bytes of the 31st record:
                      // five seconds of silence end the capture.
                      KeptCase{"EndsInsideARecord",
                               certificate_blocks(30) + certificate_blocks(1, 31).substr(0, 106),
                               30}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeptDownload, SummaryBasedReportCutShortByAByteTwentySix) {
  RunFolder folder;
  folder.write("quelmarint.cfg", "ReportFormat=1\r\n");
  std::string sent;
  for (int i = 1; i <= 10; ++i) {
    sent += "SUMMARY LINE " + std::to_string(i) + "\r\n";
    if (i == 5) sent += eof26;
  }
  sent += "end of data\r\n";
  SimTester tester(folder, {.send = sent, .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "sum", "7");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 30)) << run.screen_text();
  EXPECT_EQ(run.row(3), " File 'sum.txt' created.");
  EXPECT_EQ(run.row(4), " The download is kept in 'sum.xtx'");
  EXPECT_EQ(run.row(5), "");
  EXPECT_NE(run.row(6), "");
  EXPECT_EQ(folder.read("sum.xtx"), captured(sent));
  EXPECT_EQ(folder.read("sum.txt"),
            "Appliance ID     Date      Site             Location         User         Result\r\n"
            "------------     ----      ----             --------         ----         ------\r\n"
            "SUMMARY LINE 4\r\n");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

}  // namespace
}  // namespace pat::test
