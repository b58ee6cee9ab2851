#include "downloader/convert/convert_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "downloader/console/console.h"
#include "downloader/convert/convert_test_support.h"
#include "downloader/convert/writers.h"
#include "downloader/run_error.h"
#include "tests/run_support.h"

namespace pat::test {
namespace {

// Runs the conversion of `capture` as format `format` under `name`; the
// error number it ended with, 0 for its own end.
int convert(InProcessRun& run, const std::string& name, float format,
            const std::string& capture) {
  Program& p = run.program;
  p.console.width_statement(100);
  p.settings.version_text = "0.12";
  p.settings.version_date = "16-11-2019";
  p.settings.baud_choice = 2;
  p.settings.report_format = "2";
  p.settings.file_name = name;
  p.settings.output_format = format;
  p.local_time = [](std::tm& t) {
    t = std::tm{};
    t.tm_year = 119;
    t.tm_mon = 10;
    t.tm_mday = 18;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 12;
    return true;
  };
  write_bytes(run.file(name), capture);
  try {
    if (run.ends_run(convert_capture(p))) return 0;
  } catch (const RunError& e) {
    return e.number;
  }
  return -1;
}

const std::string no_record = "=====\r\nAPPLIANCE: A1\r\nDATE: 05/03/2019 14:25\r\nend of data";

TEST(ConvertCapture, WithoutASignatureOnlyThePreambleAndTrailerAreWritten) {
  struct Case {
    const char* name;
    float format;
    std::string expected;
  };
  const std::string report_titles =
      "Appliance ID   Tested   Site            Comment              User         Result\r\n"
      "------------   ------   ----            -------              ----         ------\r\n";
  const std::vector<Case> cases = {
      {"a.csv", 5, std::string(csv_title_text)},
      {"a.pat", 6,
       "EOD,11-18-2019,09:05:12,2,0.12,16-11-2019,a.pat,[WINDOWS],[32BIT],Faldercroswyth,"
       "SuperNova,,,,,,,,,,,,,,,,,,,EOF\r\n"},
      {"a.txt", 7, report_titles},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    EXPECT_EQ(convert(run, c.name, c.format, no_record), 0);
    EXPECT_EQ(read_bytes(run.file(c.name)), c.expected);
    EXPECT_FALSE(std::filesystem::exists(run.file("a.tmp")));
  }
}

TEST(ConvertCapture, LeftoverTemporaryFileIsRemovedFirst) {
  InProcessRun run;
  write_bytes(run.file("shop.tmp"), "left by an earlier run");
  EXPECT_EQ(convert(run, "shop.csv", 5, no_record), 0);
  EXPECT_EQ(read_bytes(run.file("shop.csv")), std::string(csv_title_text));
  EXPECT_FALSE(std::filesystem::exists(run.file("shop.tmp")));
}

// A comment block cut off by the end of the capture: the rows written so far
// stay, and the whole download stays under the temporary name.
TEST(ConvertCapture, CommentBlockCutOffEndsWithInputPastEnd) {
  InProcessRun run;
  const std::string capture =
      "APPLIANCE: A1\r\nSIGNATURE:\r\nAPPLIANCE: A2\r\nCOMMENTS: x\r\nonly one more\r\n";
  EXPECT_EQ(convert(run, "shop.csv", 5, capture), err::input_past_end);
  run.files.close_all();
  EXPECT_EQ(read_bytes(run.file("shop.csv")),
            std::string(csv_title_text) + "A1" + std::string(28, ',') + "\n");
  EXPECT_EQ(read_bytes(run.file("shop.tmp")), capture);
}

TEST(ConvertCapture, FinishingLinesByFormat) {
  struct Case {
    float format;
    std::string name;
    std::string row4;
    std::string row5;
  };
  const std::string long_name = std::string(81, 'n') + ".csv";  // 85 characters
  const std::vector<Case> cases = {
      {5, "shop.csv", " CSV File 'shop.csv' created", ""},
      {6, "shop.pat", " Lorvane Data File 'shop.pat' created", ""},
      {7, "shop.txt", " File 'shop.txt' created", ""},
      {8, "shop.txt", " File 'shop.txt' created",
       "If you are printing the file it must be printed in 'landscape' format"},
      // The name and "' created" form one piece, which starts a row of its own.
      {5, long_name, " CSV File '", long_name + "' created"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    EXPECT_EQ(convert(run, c.name, c.format, no_record), 0);
    EXPECT_EQ(run.row(1), "");
    EXPECT_EQ(run.row(2), " Finished");
    EXPECT_EQ(run.row(3), "");
    EXPECT_EQ(run.row(4), c.row4);
    EXPECT_EQ(run.row(5), c.row5);
    EXPECT_EQ(run.row(25), "Press any key to continue");
  }
}

}  // namespace
}  // namespace pat::test
