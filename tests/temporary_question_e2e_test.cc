// A file under the name that the conversion takes for its temporary copy (a
// download kept by an earlier run, or a file that is not the program's) is
// asked about before anything can delete it. Whole runs in tmux with the
// simulated tester.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

std::string question(const std::string& name) {
  return " The file " + name + " already exists. Do you want to overwrite it? (Y/N) ?";
}

// Types an answer and waits until the screen shows what follows it.
void answer(TmuxRun& run, const std::string& text, int row, const std::string& expected) {
  run.type_line(text);
  ASSERT_TRUE(run.wait_row(row, expected)) << "after '" << text << "'\n" << run.screen_text();
}

// Port 3, the second rate and the name, up to the format question.
void answer_up_to_format(TmuxRun& run, const std::string& name) {
  ASSERT_TRUE(run.wait_row(2, " Enter COM port number #")) << run.screen_text();
  answer(run, "3", 9, " ?");
  answer(run, "2", 15, " ?");
  answer(run, name, 12, " Select");
}

const std::string no_record = "THIS IS NO CERTIFICATE\r\nend of data";

TEST(TemporaryFileQuestion, ARerunBesideAKeptDownloadAsksBeforeItGoes) {
  RunFolder folder;
  {
    // The first run finds no record and keeps the download.
    SimTester tester(folder, {.send = no_record + "\r\n", .baud = 0});
    TmuxRun run(folder);
    answer_up_to_capture(run, "3", "2", "shop", "5");
    run.key("Enter");
    ASSERT_TRUE(run.wait_row(5, " The download is kept in 'shop.tmp'", 30)) << run.screen_text();
    run.key("Enter");
    ASSERT_EQ(run.wait_exit(), 0);
  }
  ASSERT_EQ(folder.read("shop.tmp"), no_record);

  SimTester tester(folder, {.send = certificate_download(2), .baud = 0});
  TmuxRun run(folder);
  answer_up_to_format(run, "shop");
  answer(run, "5", 14, question("shop.csv"));
  EXPECT_EQ(run.row(13), "");
  answer(run, "y", 16, question("shop.tmp"));
  EXPECT_EQ(run.row(15), "");
  // "N": the name is asked again on a cleared screen, the kept download as it was.
  answer(run, "n", 11, " Enter filename for save data file. No need to add extension.");
  EXPECT_EQ(run.row(1), "");
  EXPECT_EQ(run.row(15), " ?");
  EXPECT_EQ(folder.read("shop.tmp"), no_record);
  // "Y" to both: the conversion as without the question.
  answer(run, "shop", 12, " Select");
  answer(run, "5", 14, question("shop.csv"));
  answer(run, "y", 16, question("shop.tmp"));
  answer(run, "y", 13, " Press ENTER to continue");
  answer(run, "", 4, " Press ENTER on your PC then press START SEARCH on your Supernova");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), " CSV File 'shop.csv' created");
  EXPECT_EQ(run.row(5), "");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
  const std::string csv = folder.read("shop.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"shop.csv"});
}

// "site.north" saves site.csv, whose conversion would take site.tmp.
TEST(TemporaryFileQuestion, ANameWithAPointAsksAboutAFileNotTheProgramsOwn) {
  RunFolder folder;
  folder.write("site.tmp", "the user's own notes");
  TmuxRun run(folder);
  answer_up_to_format(run, "site.north");
  answer(run, "5", 14, question("site.tmp"));
  answer(run, "n", 11, " Enter filename for save data file. No need to add extension.");
  EXPECT_EQ(folder.read("site.tmp"), "the user's own notes");
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"site.tmp"});  // no site.csv
}

// Answered "Y", the question lets the run take the name as it always did.
TEST(TemporaryFileQuestion, YesLetsTheConversionTakeTheName) {
  RunFolder folder;
  folder.write("site.tmp", "the user's own notes");
  SimTester tester(folder, {.send = certificate_download(1), .baud = 0});
  TmuxRun run(folder);
  answer_up_to_capture_overwriting(run, "site.north", "5");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), " CSV File 'site.csv' created");
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"site.csv"});
}

}  // namespace
}  // namespace pat::test
