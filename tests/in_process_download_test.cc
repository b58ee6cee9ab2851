// Whole downloads in one process: the scripted console, the simulated tester
// on a pseudo-terminal as the serial port.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/dialogue.h"
#include "tests/support/downloads.h"
#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"
#include "tests/support/sim_tester.h"

namespace pat::test {
namespace {

void answer_dialogue(ScriptedBackend& b, const std::string& name, const std::string& format) {
  script_dialogue(b, {.name = name, .format = format});
  // The capture polls the key queue while it waits for the first byte.
  b.idle_steps(100000);
}

TEST(InProcessDownload, CertificateToCsv) {
  InProcessRun run;
  const std::string download = certificate_download(2);
  // The tester links com3 into the working folder of this run.
  SimTester tester(run.folder(), {.send = download, .baud = 0});
  answer_dialogue(run.backend, "shop", "5");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(2), " Finished") << run.screen_text();
  EXPECT_EQ(run.row(4), " CSV File 'shop.csv' created");
  const std::string csv = read_bytes(run.file("shop.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
  const std::size_t second_row = csv.find('\n', csv.find('\n') + 1) + 1;
  EXPECT_EQ(csv.compare(second_row, 6, "A0002,"), 0) << csv;
  EXPECT_FALSE(path_exists(run.file("shop.tmp")));
}

TEST(InProcessDownload, CertificateKeptAsSent) {
  InProcessRun run;
  const std::string download = certificate_download(2);
  SimTester tester(run.folder(), {.send = download, .baud = 0});
  answer_dialogue(run.backend, "cert", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " Finished!") << run.screen_text();
  EXPECT_EQ(read_bytes(run.file("cert.txt")), download.substr(0, download.size() - 2));
}

// An answer between two formats matches none of them: the download is kept
// as sent in a text file, even where ReportFormat "1" would make format 7 a
// summary-based report.
TEST(InProcessDownload, FractionalFormatKeptAsSent) {
  for (const char* format : {"2.5", "7.5"}) {
    SCOPED_TRACE(format);
    InProcessRun run;
    write_bytes(run.file("quelmarint.cfg"), "ReportFormat=1\r\n");
    const std::string download = certificate_download(2);
    SimTester tester(run.folder(), {.send = download, .baud = 0});
    answer_dialogue(run.backend, "shop", format);
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.row(1), " Finished!") << run.screen_text();
    EXPECT_EQ(run.row(3), " File 'shop.txt' created.");
    EXPECT_EQ(read_bytes(run.file("shop.txt")), download.substr(0, download.size() - 2));
    EXPECT_FALSE(path_exists(run.file("shop.tmp")));
    EXPECT_FALSE(path_exists(run.file("shop.xtx")));
  }
}

// Memory that runs out in the conversion ends the run in a box, which names
// the copy that holds the whole download.
TEST(InProcessDownload, OutOfMemoryBoxNamesTheKeptDownload) {
  InProcessRun run;
  const std::string download = certificate_download(2);
  SimTester tester(run.folder(), {.send = download, .baud = 0});
  answer_dialogue(run.backend, "shop", "6");
  run.program.local_time = [](std::tm&) -> bool { throw std::bad_alloc(); };
  EXPECT_EQ(run.run(), 0);
  ASSERT_EQ(run.backend.boxes.size(), 2u) << run.screen_text();
  EXPECT_EQ(run.backend.boxes[0], "Out of memory");
  EXPECT_NE(run.backend.boxes[1].find("\n The download is kept in 'shop.tmp'"), std::string::npos)
      << run.backend.boxes[1];
  EXPECT_EQ(read_bytes(run.file("shop.tmp")), download.substr(0, download.size() - 2));
}

// The minute of waiting for data, on a clock that runs 20 times fast.
TEST(InProcessDownload, NoDataInTheMinuteDeletesTheOutputFile) {
  struct Case {
    const char* name;
    std::string format;
    std::string sent;
    std::vector<std::pair<long, double>> pauses;
  };
  const std::vector<Case> cases = {
      {"nothing sent", "2", "", {}},
      {"PATS+ of line feeds only", "1", std::string(50, '\n'), {}},
      // Zeros and 255s over the first 40 seconds of the fast clock.
      {"line noise alone", "2", std::string("\0\xff\xff\0\xff", 5),
       {{1, 0.5}, {2, 0.5}, {3, 0.5}, {4, 0.5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    SimTester tester(run.folder(), {.send = c.sent, .baud = 19200, .pauses = c.pauses});
    answer_dialogue(run.backend, "shop", c.format);
    // The countdowns shown, as the capture reads the clock, and whether the
    // reading screen ever came.
    std::vector<int> countdowns;
    bool reading = false;
    const std::string waiting = " Hit ESC to quit : ";
    run.program.clock = [&, start = std::chrono::steady_clock::now()] {
      const std::string row = run.row(3);
      if (row.rfind(waiting, 0) == 0) {
        const int shown = std::stoi(row.substr(waiting.size()));
        if (countdowns.empty() || countdowns.back() != shown) countdowns.push_back(shown);
      }
      reading |= run.row(1).rfind(" Reading data", 0) == 0;
      return 20 * std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_EQ(run.run(), 0);
    EXPECT_FALSE(reading);
    EXPECT_EQ(run.row(1), " ERROR") << run.screen_text();
    EXPECT_EQ(run.row(2), "");
    EXPECT_EQ(run.row(3), " NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
    EXPECT_EQ(run.row(4), "");
    EXPECT_EQ(run.row(6), " Version : 0.12 - 16-11-2019");
    EXPECT_EQ(run.row(25), "Press any key to continue");
    EXPECT_FALSE(path_exists(run.file("shop.txt")));
    // From 60 down, one a step, never below 0.
    ASSERT_GE(countdowns.size(), 2u);
    EXPECT_EQ(countdowns.front(), 60);
    EXPECT_GE(countdowns.back(), 0);
    for (std::size_t i = 1; i < countdowns.size(); ++i)
      EXPECT_EQ(countdowns[i], countdowns[i - 1] - 1) << "after " << countdowns[i - 1];
    // The tester sent all of it before the port was closed.
    EXPECT_NE(tester.finish().find("sent " + std::to_string(c.sent.size()) + " bytes"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace pat::test
