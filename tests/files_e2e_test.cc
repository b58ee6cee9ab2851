// Output files of whole runs in tmux: a name typed with accents is that
// name on disk, and a second copy of the program cannot cut the file that
// a first copy is still capturing into.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const char* const cafe = "caf\xC3\xA9";  // "café" in UTF-8, as the terminal sends it

TEST(OutputName, AccentedNameIsThatNameOnDisk) {
  RunFolder folder;
  const std::string download = certificate_download(3);
  SimTester tester(folder, {.send = download, .baud = 19200});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", cafe, "2");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(1, " Finished!", 20)) << run.screen_text();
  EXPECT_EQ(run.row(3), std::string(" File '") + cafe + ".txt' created.");
  EXPECT_EQ(folder.read(cafe + std::string(".txt")), download.substr(0, download.size() - 2));
  tester.finish();
  EXPECT_EQ(folder.entries(), std::vector<std::string>{cafe + std::string(".txt")});
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

// The conversion renames the capture to its temporary name, reads it and
// deletes it: all under the same UTF-8 names.
TEST(OutputName, AccentedNameThroughAConversion) {
  RunFolder folder;
  SimTester tester(folder, {.send = certificate_download(2), .baud = 19200});
  TmuxRun run(folder);
  answer_up_to_capture(run, "3", "2", cafe, "5");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  EXPECT_EQ(run.row(4), std::string(" CSV File '") + cafe + ".csv' created");
  const std::string csv = folder.read(cafe + std::string(".csv"));
  EXPECT_NE(csv.find("\nA0001,05-03-2019,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nA0002,05-03-2019,"), std::string::npos) << csv;
  tester.finish();
  EXPECT_EQ(folder.entries(), std::vector<std::string>{cafe + std::string(".csv")});
}

TEST(SecondCopy, CannotEmptyALiveCapture) {
  RunFolder folder;
  // About 14 seconds at 19200 baud: copy 1 is still capturing while copy 2
  // goes through its dialogue.
  const std::string download = certificate_download(60);
  SimTester tester1(folder, {.port = 3, .send = download, .baud = 19200});
  SimTester tester2(folder, {.port = 4});
  TmuxRun copy1(folder);
  answer_up_to_capture(copy1, "3", "2", "shop", "2");
  copy1.key("Enter");
  ASSERT_TRUE(copy1.wait_row(1, " Reading data from Supernova on COM port #3", 20))
      << copy1.screen_text();

  TmuxRun copy2(folder);
  ASSERT_TRUE(copy2.wait_row(2, " Enter COM port number #")) << copy2.screen_text();
  copy2.type_line("4");
  ASSERT_TRUE(copy2.wait_row(9, " ?")) << copy2.screen_text();
  copy2.type_line("2");
  ASSERT_TRUE(copy2.wait_row(15, " ?")) << copy2.screen_text();
  copy2.type_line("shop");
  ASSERT_TRUE(copy2.wait_row(12, " Select")) << copy2.screen_text();
  copy2.type_line("2");
  ASSERT_TRUE(copy2.wait_contains("already exists. Do you want to overwrite it? (Y/N) ?"))
      << copy2.screen_text();
  copy2.type_line("Y");
  ASSERT_TRUE(copy2.wait_contains("Press ENTER to continue")) << copy2.screen_text();
  copy2.key("Enter");
  ASSERT_TRUE(copy2.wait_contains("START SEARCH")) << copy2.screen_text();
  copy2.key("Enter");

  ASSERT_TRUE(copy2.wait_row(1, " FATAL PROGRAMME ERROR!!")) << copy2.screen_text();
  EXPECT_EQ(copy2.row(3),
            " Output file already open. Close any program that is reading shop.txt");
  EXPECT_EQ(copy2.row(4), " Error: 70");
  // Otherwise the test proves nothing: copy 1 was still capturing.
  EXPECT_EQ(copy1.row(1), " Reading data from Supernova on COM port #3") << copy1.screen_text();
  copy2.key("Enter");
  EXPECT_EQ(copy2.wait_exit(), 0);

  ASSERT_TRUE(copy1.wait_row(1, " Finished!", 40)) << copy1.screen_text();
  EXPECT_EQ(copy1.row(3), " File 'shop.txt' created.");
  EXPECT_EQ(folder.read("shop.txt"), download.substr(0, download.size() - 2));
  copy1.key("Enter");
  EXPECT_EQ(copy1.wait_exit(), 0);
}

}  // namespace
}  // namespace pat::test
