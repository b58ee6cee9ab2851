#include "downloader/convert/convert_capture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "downloader/console/console.h"
#include "downloader/convert/convert_test_support.h"
#include "downloader/convert/writers.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"
#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"

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

// n complete records, without the closing text.
std::string records(int n, int first = 1) {
  std::string s;
  for (int i = first; i < first + n; ++i) {
    s += "=====\r\nAPPLIANCE: A" + std::to_string(i) + "\r\nSITE: NORTH\r\nSIGNATURE:\r\n";
  }
  return s;
}

const std::string eof26(1, '\x1a');

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
    // Nothing converted: the download stays.
    EXPECT_EQ(read_bytes(run.file("a.tmp")), no_record);
  }
}

// A file under the temporary name goes only when the operator agreed to
// replace that very file; one that came there since stays, and so does this
// run's download, under the output name.
TEST(ConvertCapture, LeftoverTemporaryFileGoesOnlyWhenAgreed) {
  struct Case {
    const char* name;
    bool agreed;           // the dialogue asked about the leftover, answered Y
    bool changed_since;    // and it was replaced after the answer
  };
  const Case cases[] = {
      {"agreed", true, false},
      {"never asked about", false, false},
      {"replaced after the answer", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    write_bytes(run.file("shop.tmp"), "left by an earlier run");
    if (c.agreed) run.program.settings.temporary_agreed = file_identity("shop.tmp");
    if (c.changed_since) write_bytes(run.file("shop.tmp"), "another copy's download");
    const int error = convert(run, "shop.csv", 5, no_record);
    run.files.close_all();
    if (c.agreed && !c.changed_since) {
      EXPECT_EQ(error, 0);
      EXPECT_EQ(read_bytes(run.file("shop.csv")), std::string(csv_title_text));
      // Kept, as nothing was converted: the download, not the leftover.
      EXPECT_EQ(read_bytes(run.file("shop.tmp")), no_record);
      continue;
    }
    EXPECT_EQ(error, err::file_already_open);
    EXPECT_EQ(read_bytes(run.file("shop.csv")), no_record);
    EXPECT_EQ(read_bytes(run.file("shop.tmp")),
              c.changed_since ? "another copy's download" : "left by an earlier run");
    EXPECT_EQ(run.program.settings.download_at, "");
  }
}

// What the conversion leaves where a run ends: the copy's name while it
// holds the download, none once the converted file does.
TEST(ConvertCapture, NamesWhereTheDownloadLies) {
  struct Case {
    const char* name;
    std::string capture;
    std::string download_at;
  };
  const Case cases[] = {
      {"converted whole", records(2), ""},
      {"nothing converted", no_record, "shop.tmp"},
      {"a comment block cut off", "APPLIANCE: A1\r\nCOMMENTS: x\r\n", "shop.tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    convert(run, "shop.csv", 5, c.capture);
    EXPECT_EQ(run.program.settings.download_at, c.download_at);
  }
}

// Nothing that the finishing lines call created may be only in memory, nor
// may the download's copy go before the converted file is on the medium.
TEST(ConvertCapture, AFailedFlushToTheMediumKeepsTheCopy) {
  InProcessRun run;
  // Folders flush; files do not.
  const MediumSync saved = replace_medium_sync([](int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? 0 : EIO;
  });
  const int error = convert(run, "shop.csv", 5, records(2));
  replace_medium_sync(saved);
  EXPECT_EQ(error, err::path_file_access);
  EXPECT_EQ(run.row(2), "");  // no " Finished"
  run.files.close_all();
  EXPECT_EQ(read_bytes(run.file("shop.tmp")), records(2));
  EXPECT_EQ(run.program.settings.download_at, "shop.tmp");
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
    EXPECT_EQ(convert(run, c.name, c.format, records(1)), 0);
    EXPECT_EQ(run.row(1), "");
    EXPECT_EQ(run.row(2), " Finished");
    EXPECT_EQ(run.row(3), "");
    EXPECT_EQ(run.row(4), c.row4);
    EXPECT_EQ(run.row(5), c.row5);
    EXPECT_EQ(run.row(25), "Press any key to continue");
  }
}

// The download is deleted only when the conversion read it to its last byte
// and wrote a record from it; otherwise it stays under the temporary name
// and the finishing lines say so.
TEST(ConvertCapture, DownloadKeptUnlessWhollyConverted) {
  struct Case {
    const char* label;
    std::string capture;
    bool kept;
  };
  std::string summary = "SUMMARY OF TESTS\r\nId         Tested      Site            Result\r\n";
  for (int i = 1; i <= 12; ++i) {
    summary += "A000" + std::to_string(i) + "      05/03/2019  NORTH WORKSHOP  PASS\r\n";
  }
  summary += "end of data";
  const std::vector<Case> cases = {
      {"every record converted", records(4) + "end of data", false},
      {"one final byte 26 holds nothing", records(4) + "end of data" + eof26, false},
      {"a summary download has no record", summary, true},
      {"a byte 26 a quarter of the way in", records(1) + eof26 + records(3, 2) + "end of data",
       true},
      {"a byte 26 before the last record", records(3) + eof26 + records(1, 4), true},
      {"two final bytes 26", records(4) + eof26 + eof26, true},
      {"a byte 26 with one byte after it", records(4) + eof26 + "\n", true},
      {"a byte 26 first", eof26 + records(4), true},
  };
  struct Format {
    float number;
    std::string name;
    std::string after_created;  // the row below the kept line, or below "created"
  };
  const std::vector<Format> formats = {
      {5, "shop.csv", ""},
      {6, "shop.pat", ""},
      {7, "shop.txt", ""},
      {8, "shop.txt", "If you are printing the file it must be printed in 'landscape' format"},
  };
  for (const Format& format : formats) {
    for (const Case& c : cases) {
      SCOPED_TRACE(format.name + " " + std::to_string(static_cast<int>(format.number)) + ": " +
                   c.label);
      InProcessRun run;
      EXPECT_EQ(convert(run, format.name, format.number, c.capture), 0);
      EXPECT_EQ(run.row(2), " Finished");
      EXPECT_NE(run.row(4).find(format.name + "' created"), std::string::npos) << run.row(4);
      if (c.kept) {
        EXPECT_EQ(read_bytes(run.file("shop.tmp")), c.capture);
        EXPECT_EQ(run.row(5), " The download is kept in 'shop.tmp'");
        EXPECT_EQ(run.row(6), format.after_created);
      } else {
        EXPECT_FALSE(std::filesystem::exists(run.file("shop.tmp")));
        EXPECT_EQ(run.row(5), format.after_created);
      }
      EXPECT_TRUE(std::filesystem::exists(run.file(format.name)));
    }
  }
}

// A download that ends inside a record, one that no signature line
// completed, stays under the temporary name; one that ends with lines no
// rule reads does not. The converted file is the same either way: the
// unfinished record is dropped.
TEST(ConvertCapture, DownloadEndingInsideARecordKept) {
  struct Case {
    const char* label;
    std::string tail;  // after four whole records
    bool kept;
  };
  const std::vector<Case> cases = {
      {"ends after the signature", "", false},
      {"blank and separator lines and the closing text",
       "\r\n" + std::string(40, '=') + "\r\n  \r\nend of data\r\n", false},
      {"cut after part of a record", "=====\r\nAPPLIANCE: A5\r\nSITE: SOUTH\r\n", true},
      {"a label line after the last record", "SITE: SOUTH\r\nend of data", true},
      {"a label line that no report shows", "  VISUAL              P\r\n", true},
      {"a comment block without a signature", "COMMENTS: X\r\nA\r\nB\r\nC\r\n", true},
  };
  struct Format {
    float number;
    std::string name;
  };
  const std::vector<Format> formats = {
      {5, "shop.csv"}, {6, "shop.pat"}, {7, "shop.txt"}, {8, "shop.txt"}};
  for (const Format& format : formats) {
    InProcessRun whole;
    ASSERT_EQ(convert(whole, format.name, format.number, records(4)), 0);
    const std::string converted = read_bytes(whole.file(format.name));
    for (const Case& c : cases) {
      SCOPED_TRACE(format.name + " " + std::to_string(static_cast<int>(format.number)) + ": " +
                   c.label);
      InProcessRun run;
      const std::string capture = records(4) + c.tail;
      EXPECT_EQ(convert(run, format.name, format.number, capture), 0);
      EXPECT_EQ(read_bytes(run.file(format.name)), converted);
      if (c.kept) {
        ASSERT_TRUE(std::filesystem::exists(run.file("shop.tmp")));
        EXPECT_EQ(read_bytes(run.file("shop.tmp")), capture);
        EXPECT_EQ(run.row(5), " The download is kept in 'shop.tmp'");
      } else {
        EXPECT_FALSE(std::filesystem::exists(run.file("shop.tmp")));
        EXPECT_NE(run.row(5), " The download is kept in 'shop.tmp'");
      }
    }
  }
}

}  // namespace
}  // namespace pat::test
