// The program's own files typed in another letter case, as the help screen
// names them: the report headers, the configuration and the com<N> link.
// Whole runs in tmux with the simulated tester.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const std::string basic_title =
    "Appliance ID   Tested   Site            Comment              User         Result\r\n";
const std::string wide_title =
    "Appliance ID      Tested   Site           Location      Comment                    "
    "                User      Result\r\n";

// A whole run that converts the download into report `format` as rep.txt.
void report_run(const RunFolder& folder, const std::string& format) {
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", "rep", format);
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

struct HeaderCase {
  const char* name;
  std::string header_name;
  std::string format;
  std::string title;
};

void PrintTo(const HeaderCase& c, std::ostream* out) { *out << c.name; }

class HeaderInAnotherCase : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderInAnotherCase, StartsTheReport) {
  const HeaderCase& c = GetParam();
  RunFolder folder;
  folder.write("quelmarint.cfg", "ReportFormat=2\r\n");
  folder.write(c.header_name, "ACME TESTING LTD\r\nSite survey\r\n");
  SimTester tester(folder, {.send = certificate_download(2), .baud = 0});
  report_run(folder, c.format);
  const std::string expected = "ACME TESTING LTD\r\nSite survey\r\n" + c.title;
  const std::string report = folder.read("rep.txt");
  EXPECT_EQ(report.substr(0, expected.size()), expected) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Reports, HeaderInAnotherCase,
    ::testing::Values(HeaderCase{"BasicReport", "HEADER.TXT", "7", basic_title},
                      HeaderCase{"WideReport", "Header-Wide.txt", "8", wide_title}),
    [](const auto& info) { return std::string(info.param.name); });

// QUELMARINT.CFG chooses the layout, and port 3 is the link COM3.
TEST(OwnFilesInAnotherCase, ConfigurationAndPortLink) {
  RunFolder folder;
  folder.write("QUELMARINT.CFG", "ReportFormat=4\r\n");
  SimTester tester(folder, {.send = certificate_download(1), .baud = 0, .link = "COM3"});
  ASSERT_FALSE(folder.exists("com3"));
  report_run(folder, "7");
  const std::string report = folder.read("rep.txt");
  EXPECT_EQ(report.rfind("Appliance ID      Tested   Comment                           User"
                         "         Result\r\n",
                         0),
            0u)
      << report;
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3) << report;
}

}  // namespace
}  // namespace pat::test
