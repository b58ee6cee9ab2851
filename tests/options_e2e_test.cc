// Command-line options and the configuration message, in tmux.

#include <gtest/gtest.h>

#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const std::vector<std::string> help_rows = {
    "This program is designed to download data from a Seaward Supernova/ Supernova Plus PA Tester.",
    "To download the data you need Seaward Supernova PAT Tester, RS-232 cable (null-modem type)",
    "A PC with either a RS-232 port OR a USB to RS-232 converter",
    "",
    "You need to know what comm port the RS-232 lead or USB to RS-232 adaptor is on",
    "You need to know what format you want to download. The following formats are available:-",
    " 1 - PATS+",
    " 2 - Certificate",
    " 3 - Summary",
    " 4 - SSS",
    " 5 - CSV File",
    " 6 - Output to Lorvane",
    " 7 - Basic Report",
    "",
    "PATS+ is for importing into older PAT software",
    "Certificate prints Seaward certificates for items that have been tested",
    "Summary is a basic list of items tested and the results",
    "SSS is a Seaward format file for importing into the Seaward software",
    "CSV will allow you to import directly into an Excel spreadsheet",
    "Lorvane is a software package currently under development. More details to come",
    "Basic report gives a list of items and pass or fail info. The header can be configured in the file",
    "'HEADER.TXT'",
};

TEST(Options, HelpScreen) {
  RunFolder folder;
  TmuxRun run(folder, "'/?'");
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  for (std::size_t i = 0; i < help_rows.size(); ++i) EXPECT_EQ(run.row(i + 1), help_rows[i]);
  EXPECT_EQ(run.row(23), "");
  EXPECT_EQ(run.row(24), "");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Options, VersionLines) {
  RunFolder folder;
  TmuxRun run(folder, "/v");
  ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << run.screen_text();
  EXPECT_EQ(run.row(1), "Read Data via RS-232 for Seaward Supernova");
  EXPECT_EQ(run.row(3), " Version : 0.12 - 16-11-2019");
  EXPECT_EQ(run.row(8), "");
  run.key("x");
  EXPECT_EQ(run.wait_exit(), 0);
}

class NotAnOption : public ::testing::TestWithParam<std::string> {};

TEST_P(NotAnOption, StartsTheDialogue) {
  RunFolder folder;
  TmuxRun run(folder, GetParam());
  EXPECT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, NotAnOption,
                         ::testing::Values("/V", "-v", "'/v' x", "'/?' /v", "'/v '"));

TEST(Options, BadConfigurationValueComesFirst) {
  for (const std::string args : {"", "'/?'", "/v"}) {
    RunFolder folder;
    folder.write("quelmarint.cfg", "ReportFormat=5\r\n");
    TmuxRun run(folder, args);
    ASSERT_TRUE(run.wait_row(25, "Press any key to continue")) << args << run.screen_text();
    EXPECT_EQ(run.row(1), "");
    EXPECT_EQ(run.row(2), " Error in QUELMARINT.CFG file. Value for ReportFormat MUST be 1 - 4");
    for (int r = 3; r <= 24; ++r) EXPECT_EQ(run.row(r), "") << args << " row " << r;
    run.key("Enter");
    EXPECT_EQ(run.wait_exit(), 0);
  }
}

}  // namespace
}  // namespace pat::test
