#include "downloader/configuration.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"

namespace pat::test {
namespace {

struct ConfigCase {
  const char* name;
  std::string content;  // "<dir>" for a folder of that name, "<none>" for no file
  std::string expected;  // the report format, or "message"
};

void PrintTo(const ConfigCase&, std::ostream* out) { *out << "case"; }


class Configuration : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(Configuration, ReportFormatFromTheFile) {
  const ConfigCase& c = GetParam();
  InProcessRun run;
  if (c.content == "<dir>") {
    ASSERT_EQ(mkdir(run.file("quelmarint.cfg").c_str(), 0755), 0);
  } else if (c.content != "<none>") {
    write_bytes(run.file("quelmarint.cfg"), c.content);
  }
  run.console.width_statement(100);
  const bool ended = run.ends_run(read_configuration(run.program));
  if (c.expected == "message") {
    EXPECT_TRUE(ended);
    EXPECT_EQ(run.row(2), " Error in QUELMARINT.CFG file. Value for ReportFormat MUST be 1 - 4");
    EXPECT_EQ(run.row(25), "Press any key to continue");
  } else {
    EXPECT_FALSE(ended);
    EXPECT_EQ(run.program.settings.report_format, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Configuration,
    ::testing::Values(
        ConfigCase{"NoFile", "<none>", "1"}, ConfigCase{"Folder", "<dir>", "1"},
        ConfigCase{"Empty", "", "1"}, ConfigCase{"FirstByte26", "\x1aReportFormat=3", "1"},
        ConfigCase{"NoKeyLine", "Other=3\r\n", "1"}, ConfigCase{"Three", "ReportFormat=3\r\n", "3"},
        ConfigCase{"Twelve", "ReportFormat=12\r\n", "2"},
        ConfigCase{"Ten", "ReportFormat=10\r\n", "1"},
        ConfigCase{"MinusThree", "ReportFormat=-3\r\n", "3"},
        ConfigCase{"SpaceForm", "ReportFormat 3\n", "3"},
        ConfigCase{"KeyAlone", "ReportFormat\r\n", "1"},
        ConfigCase{"TrailingBlank", "ReportFormat=3 \r\n", "3"},
        ConfigCase{"TrailingTab", "ReportFormat=3\t\r\n", "3"},
        ConfigCase{"TrailingBlanksAndTabs", "ReportFormat=2 \t  \t\n", "2"},
        ConfigCase{"TrailingBlankNoLineEnd", "ReportFormat=4 ", "4"},
        ConfigCase{"KeyAndBlanks", "ReportFormat   \r\n", "1"},
        ConfigCase{"KeyAndTab", "ReportFormat\t\r\n", "1"},
        ConfigCase{"KeyAndBlanksLast", "ReportFormat=3\r\nReportFormat  \r\n", "1"},
        ConfigCase{"FiveAndBlank", "ReportFormat=5 \r\n", "message"},
        ConfigCase{"WrongCase", "reportformat=3\r\n", "1"},
        ConfigCase{"BlankBefore", " ReportFormat=3\r\n", "1"},
        ConfigCase{"LastWins", "ReportFormat=2\r\nReportFormat=4\r\n", "4"},
        ConfigCase{"LastWinsOtherOrder", "ReportFormat=4\r\nReportFormat=2\r\n", "2"},
        ConfigCase{"CrLf", "x\r\nReportFormat=4\r\n", "4"},
        ConfigCase{"LfOnly", "x\nReportFormat=4\n", "4"},
        ConfigCase{"NoLineEnd", "x\nReportFormat=4", "4"},
        ConfigCase{"Five", "ReportFormat=5\r\n", "message"},
        ConfigCase{"Nine", "ReportFormat=9", "message"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pat::test
