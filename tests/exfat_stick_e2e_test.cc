// Conversions saved on an exFAT medium mounted through FUSE, as many systems
// mount a USB stick: no hard links, no rename that refuses to replace, one
// file for a name in any letter case. Whole runs in tmux with the simulated
// tester; the mount's tests skip where the machine cannot mount one.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"
#include "tests/support/exfat_mount.h"

namespace pat::test {
namespace {

// Waits for the finishing lines, or for the error screen that ends a run
// instead.
bool finished(const TmuxRun& run) {
  const auto ended = [](const std::vector<std::string>& rows) {
    return rows.size() > 1 && (rows[1] == " Finished" || rows[1].starts_with(" Error:"));
  };
  return run.wait_for(ended, 30) && run.row(2) == " Finished";
}

// Converts a certificate download under the typed name and waits for the
// finishing lines; the download is not kept.
void convert(const RunFolder& folder, const std::string& name, const std::string& format) {
  SimTester tester(folder, {.send = certificate_download(3), .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", name, format);
  run.key("Enter");
  ASSERT_TRUE(finished(run)) << run.screen_text();
  EXPECT_EQ(run.row(5), "") << run.screen_text();
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

struct StickCase {
  const char* name;
  std::string format;
  std::string saved;   // the output file's name
  std::string config;  // quelmarint.cfg, none when empty
};

void PrintTo(const StickCase& c, std::ostream* out) { *out << c.name; }

class ConversionOnExfat : public ::testing::TestWithParam<StickCase> {};

TEST_P(ConversionOnExfat, SavesTheSameBytesAsInAnOrdinaryFolder) {
  const StickCase& c = GetParam();
  ExfatMount stick;
  if (!stick.unavailable().empty()) GTEST_SKIP() << stick.unavailable();
  RunFolder folder;
  if (!c.config.empty()) folder.write("quelmarint.cfg", c.config);
  ASSERT_NO_FATAL_FAILURE(convert(folder, "shop", c.format));
  const std::string ordinary = folder.read(c.saved);
  ASSERT_NE(ordinary.find("A0003"), std::string::npos) << ordinary;

  ASSERT_NO_FATAL_FAILURE(convert(folder, stick.path() + "/shop", c.format));
  EXPECT_EQ(read_bytes(stick.file(c.saved)), ordinary);
  EXPECT_EQ(stick.entries(), std::vector<std::string>{c.saved});
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConversionOnExfat,
    ::testing::Values(StickCase{"CsvFile", "5", "shop.csv", ""},
                      StickCase{"BasicReportWithSiteColumn", "7", "shop.txt",
                                "ReportFormat=2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Types an answer and waits until the screen shows what follows it: on that
// row, or anywhere for row 0.
void answer(TmuxRun& run, const std::string& text, int row, const std::string& expected) {
  run.type_line(text);
  const bool shown = row > 0 ? run.wait_row(row, expected) : run.wait_contains(expected);
  ASSERT_TRUE(shown) << "after '" << text << "'\n" << run.screen_text();
}

// A download kept by a run that typed "Shop", and a rerun that types "shop":
// the medium finds the kept file under either name, so the dialogue asks
// about it, and the conversion deletes it by that name.
TEST(KeptDownloadOnExfat, ARerunInAnotherLetterCaseReplacesIt) {
  ExfatMount stick;
  if (!stick.unavailable().empty()) GTEST_SKIP() << stick.unavailable();
  write_bytes(stick.file("Shop.csv"), "Appliance\n");
  write_bytes(stick.file("Shop.tmp"), "THIS IS NO CERTIFICATE\r\nend of data");
  RunFolder folder;
  SimTester tester(folder, {.send = certificate_download(2), .baud = 0});
  TmuxRun run(folder);
  const std::string name = stick.path() + "/shop";
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  answer(run, "3", 9, " ?");
  answer(run, "2", 15, " ?");
  answer(run, name, 12, " Select");
  answer(run, "5", 0, " The file " + name + ".csv already exists.");
  answer(run, "y", 0, " The file " + name + ".tmp already exists.");
  answer(run, "y", 0, " Press ENTER to continue");
  answer(run, "", 0, "START SEARCH");
  run.key("Enter");
  ASSERT_TRUE(finished(run)) << run.screen_text();
  EXPECT_EQ(run.row(4), " CSV File '" + name + ".csv' created");
  EXPECT_EQ(run.row(5), "");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
  EXPECT_EQ(stick.entries(), std::vector<std::string>{"shop.csv"});
  const std::string csv = read_bytes(stick.file("shop.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
  EXPECT_NE(csv.find("A0002"), std::string::npos) << csv;
}

}  // namespace
}  // namespace pat::test
