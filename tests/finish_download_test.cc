// The end of a run in one process, from a capture on disk: the conversion
// or the summary-based report, the finishing lines while the converted
// file is open, and the closing prompt.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"
#include "downloader/run_frame.h"
#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"

namespace pat::test {
namespace {

// Finishes the download of `capture`, captured under `name` as format
// `format`, as the run frame does, up to the closing prompt; the error
// number it ended with, 0 for none.
int finish(InProcessRun& run, const std::string& name, float format,
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
    return true;
  };
  write_bytes(run.file(name), capture);
  try {
    finish_download(p);
  } catch (const RunError& e) {
    return e.number;
  }
  run.ends_run(Outcome::end_run);
  return 0;
}

const std::string no_record = "=====\r\nAPPLIANCE: A1\r\nDATE: 05/03/2019 14:25\r\nend of data";

// n complete records, without the closing text.
std::string records(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) {
    s += "=====\r\nAPPLIANCE: A" + std::to_string(i) + "\r\nSITE: NORTH\r\nSIGNATURE:\r\n";
  }
  return s;
}

TEST(FinishDownload, FinishingLinesByFormat) {
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
    EXPECT_EQ(finish(run, c.name, c.format, records(1)), 0);
    EXPECT_EQ(run.row(1), "");
    EXPECT_EQ(run.row(2), " Finished");
    EXPECT_EQ(run.row(3), "");
    EXPECT_EQ(run.row(4), c.row4);
    EXPECT_EQ(run.row(5), c.row5);
    EXPECT_EQ(run.row(25), "Press any key to continue");
  }
}

// A copy that the conversion kept is named right below the created line;
// one that it deleted is not.
TEST(FinishDownload, TheFinishingLinesNameAKeptCopy) {
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
    for (const bool kept : {true, false}) {
      SCOPED_TRACE(format.name + " " + std::to_string(static_cast<int>(format.number)) +
                   (kept ? ": kept" : ": deleted"));
      InProcessRun run;
      EXPECT_EQ(finish(run, format.name, format.number, kept ? no_record : records(4)), 0);
      EXPECT_EQ(run.row(2), " Finished");
      EXPECT_NE(run.row(4).find(format.name + "' created"), std::string::npos) << run.row(4);
      if (kept) {
        EXPECT_EQ(run.row(5), " The download is kept in 'shop.tmp'");
        EXPECT_EQ(run.row(6), format.after_created);
      } else {
        EXPECT_EQ(run.row(5), format.after_created);
      }
      EXPECT_EQ(std::filesystem::exists(run.file("shop.tmp")), kept);
    }
  }
}

// Nothing that the finishing lines call created may be only in memory, nor
// may the download's copy go before the converted file is on the medium.
TEST(FinishDownload, AFailedFlushToTheMediumKeepsTheCopy) {
  InProcessRun run;
  // Folders flush; files do not.
  const MediumSync saved = replace_medium_sync([](int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? 0 : EIO;
  });
  const int error = finish(run, "shop.csv", 5, records(2));
  replace_medium_sync(saved);
  EXPECT_EQ(error, err::path_file_access);
  EXPECT_EQ(run.row(2), "");  // no " Finished"
  run.files.close_all();
  EXPECT_EQ(read_bytes(run.file("shop.tmp")), records(2));
  EXPECT_EQ(run.program.settings.download_at, "shop.tmp");
}

// Only the summary-based report changes a summary download; format 3 keeps
// it as captured.
TEST(FinishDownload, ASummaryDownloadKeptAsCaptured) {
  InProcessRun run;
  const std::string capture = "L1\nL2\nL3\nL4\n";
  EXPECT_EQ(finish(run, "sum.txt", 3, capture), 0);
  EXPECT_EQ(read_bytes(run.file("sum.txt")), capture);
}

}  // namespace
}  // namespace pat::test
