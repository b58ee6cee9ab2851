// Certificate downloads converted into the CSV file, the Lorvane data file
// and the two reports, and the summary-based report: whole runs in tmux with
// the simulated tester, the output files checked byte for byte.

#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

void download(TmuxRun& run, const std::string& name, const std::string& format) {
  answer_up_to_capture(run, "3", "2", name, format);
  run.key("Enter");
}

std::string id(int n) {
  char s[8];
  std::snprintf(s, sizeof s, "A%04d", n);
  return s;
}

std::string repeat_rows(int n, const std::function<std::string(const std::string&)>& row) {
  std::string all;
  for (int i = 1; i <= n; ++i) all += row(id(i));
  return all;
}

TEST(Conversion, CsvFileFromACertificateDownload) {
  RunFolder folder;
  SimTester tester(folder, {.send = certificate_download(4), .baud = 19200});
  TmuxRun run(folder);
  download(run, "shop", "5");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(1), "");
  EXPECT_EQ(run.row(4), " CSV File 'shop.csv' created");
  EXPECT_EQ(run.row(5), "");
  EXPECT_NE(run.row(6), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
  const std::string title =
      "Appliance,Date,Time,Site,Location,User,Test1,Test2,Visual,Insulation Value,Result,"
      "Touch Leakage,Result,Earth Value, Result,Leakage, Result,Load, Result,Overall Result,"
      " Sub Leakage Value, Result,Flash Value, Result,IEC Lead,Comment #1,Comment #2, Comment "
      "#3,Comment #4\n";
  const std::string rows = repeat_rows(4, [](const std::string& a) {
    return a +
           ",05-03-2019,14:25,NORTH WORKSHOP,STORE ROOM 2,J SMITH,TEST1-DATA,TEST2-DATA,P,"
           "299.9 MOhm,P,,,0.09 Ohm,P,,,,,PASS,,,,,,CABLE REPLACED,PLUG FUSE 13A,RETEST IN 6 "
           "MONTHS,\n";
  });
  EXPECT_EQ(folder.read("shop.csv"), title + rows);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"shop.csv"});
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Conversion, LorvaneDataFile) {
  RunFolder folder;
  SimTester tester(folder, {.send = certificate_download(2), .baud = 19200});
  TmuxRun run(folder);
  download(run, "shop", "6");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), " Lorvane Data File 'shop.pat' created");
  const std::string records = repeat_rows(2, [](const std::string& a) {
    return a +
           ",05-03-2019,14:25,NORTH WORKSHOP,STORE ROOM 2,TEST1-DATA,J SMITH,TEST2-DATA,P,"
           "299.9 MOhm,P,,,0.09 Ohm,P,,,,,PASS,,,,,,CABLE REPLACED,PLUG FUSE 13A,RETEST IN 6 "
           "MONTHS,,";
  });
  const std::string file = folder.read("shop.pat");
  ASSERT_GE(file.size(), records.size());
  EXPECT_EQ(file.substr(0, records.size()), records);
  const std::regex trailer(
      "EOD,[01][0-9]-[0-3][0-9]-20[0-9][0-9],[0-2][0-9]:[0-5][0-9]:[0-5][0-9],2,0\\.12,"
      "16-11-2019,shop\\.pat,\\[WINDOWS\\],\\[32BIT\\],Faldercroswyth,SuperNova,,,,,,,,,,,,,,,,,,"
      ",EOF\r\n");
  EXPECT_TRUE(std::regex_match(file.substr(records.size()), trailer)) << file.substr(records.size());
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"shop.pat"});
}

struct ReportCase {
  std::string config;
  std::string format;
  std::string header_name;
  std::vector<std::string> titles;
  std::function<std::string(const std::string&)> row;
  bool landscape;
};

void PrintTo(const ReportCase&, std::ostream* out) { *out << "case"; }


class Report : public ::testing::TestWithParam<ReportCase> {};

TEST_P(Report, ByteForByte) {
  const ReportCase& c = GetParam();
  RunFolder folder;
  folder.write("quelmarint.cfg", c.config);
  folder.write(c.header_name, "ACME TESTING LTD  \n\nSite survey\r\n");
  SimTester tester(folder, {.send = certificate_download(3), .baud = 19200});
  TmuxRun run(folder);
  download(run, "rep", c.format);
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), " File 'rep.txt' created");
  if (c.landscape) {
    EXPECT_EQ(run.row(5), "If you are printing the file it must be printed in 'landscape' format");
  } else {
    EXPECT_EQ(run.row(5), "");
  }
  std::string expected = "ACME TESTING LTD  \r\n\r\nSite survey\r\n";
  for (const auto& t : c.titles) expected += t + "\r\n";
  expected += repeat_rows(3, c.row);
  EXPECT_EQ(folder.read("rep.txt"), expected);
  EXPECT_FALSE(folder.exists("rep.tmp"));
}

std::string pad(const std::string& s, std::size_t width) {
  std::string p = s.substr(0, width);
  p.resize(width, ' ');
  return p;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Report,
    ::testing::Values(
        ReportCase{"ReportFormat=2\r\n", "7", "header.txt",
                   {"Appliance ID   Tested   Site            Comment              User         Result",
                    "------------   ------   ----            -------              ----         ------"},
                   [](const std::string& a) {
                     return pad(a, 13) + "05-03-2019 " + pad("NORTH WORKSHOP", 16) +
                            pad("CABLE REPLACED", 21) + pad("J SMITH", 13) + "PASS\r\n";
                   },
                   false},
        ReportCase{"ReportFormat=3\r\n", "7", "header.txt",
                   {"Appliance ID   Tested   Location        Comment              User         Result",
                    "------------   ------   --------        -------              ----         ------"},
                   [](const std::string& a) {
                     return pad(a, 13) + "05-03-2019 " + pad("STORE ROOM 2", 16) +
                            pad("CABLE REPLACED", 21) + pad("J SMITH", 13) + "PASS\r\n";
                   },
                   false},
        ReportCase{"ReportFormat=4\r\n", "7", "header.txt",
                   {"Appliance ID      Tested   Comment                           User         Result",
                    "------------      ------   -------                           ----         ------"},
                   [](const std::string& a) {
                     return pad(a, 15) + " 05-03-2019 " + pad("CABLE REPLACED", 25) +
                            std::string(9, ' ') + pad("J SMITH", 13) + "  PASS\r\n";
                   },
                   false},
        ReportCase{"ReportFormat=2\r\n", "8", "header-wide.txt",
                   {"Appliance ID      Tested   Site           Location      Comment                                    User      Result",
                    "------------      ------   ----           --------      -------                                    ----      ------"},
                   [](const std::string& a) {
                     return pad(a, 15) + " 05-03-2019 " + pad("NORTH WORKSHOP", 14) + " " +
                            pad("STORE ROOM 2", 14) + " " + pad("CABLE REPLACED", 20) + " " +
                            pad("PLUG FUSE 13A", 20) + " " + pad("J SMITH", 11) + " PASS\r\n";
                   },
                   true}),
    [](const auto& info) {
      return "Format" + info.param.format + "Layout" + info.param.config.substr(13, 1);
    });

TEST(Conversion, SummaryBasedBasicReport) {
  RunFolder folder;
  folder.write("quelmarint.cfg", "ReportFormat=1\r\n");
  std::string summary;
  for (int i = 1; i <= 10; ++i) summary += "SUMMARY LINE " + std::to_string(i) + "\r\n";
  summary += "end of data\r\n";
  SimTester tester(folder, {.send = summary, .baud = 19200});
  TmuxRun run(folder);
  download(run, "sum", "7");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 30)) << run.screen_text();
  EXPECT_EQ(run.row(3), " File 'sum.txt' created.");
  EXPECT_EQ(folder.read("sum.txt"),
            "Appliance ID     Date      Site             Location         User         Result\r\n"
            "------------     ----      ----             --------         ----         ------\r\n"
            "SUMMARY LINE 4\r\nSUMMARY LINE 7\r\nSUMMARY LINE 10\r\n");
  const std::vector<std::string> left = {"quelmarint.cfg", "sum.txt"};
  EXPECT_EQ(folder.entries(), left);
}

}  // namespace
}  // namespace pat::test
