// The operator dialogue and the instruction screens as a user meets them in
// a terminal of 100 x 25.

#include <gtest/gtest.h>

#include "tests/e2e_support.h"

namespace pat::test {
namespace {

const char* const port_prompt = " Enter COM port number #";

// Types an answer and waits until the screen shows what follows it.
void answer(TmuxRun& run, const std::string& text, int row, const std::string& expected) {
  run.type_line(text);
  ASSERT_TRUE(run.wait_row(row, expected)) << "after '" << text << "'\n" << run.screen_text();
}

void start(TmuxRun& run) {
  ASSERT_TRUE(run.wait_row(2, port_prompt)) << run.screen_text();
}

TEST(Dialogue, PortAndBaudQuestionsAskAgainInPlace) {
  RunFolder folder;
  TmuxRun run(folder);
  start(run);
  run.type_line("0");
  ASSERT_TRUE(run.wait_row(2, std::string(port_prompt) + "0"));
  run.type_line("-12");
  ASSERT_TRUE(run.wait_row(2, std::string(port_prompt) + "-12"));
  // The row is not cleared: the 5 stands over the "-" of the earlier answer.
  answer(run, "5", 4, " Select Baud Rate. Higher value for faster transfer:-");
  EXPECT_EQ(run.row(2), std::string(port_prompt) + "512");
  EXPECT_EQ(run.row(3), "");
  EXPECT_EQ(run.row(5), "");
  EXPECT_EQ(run.row(6), " 1 - 9600");
  EXPECT_EQ(run.row(7), " 2 - 19200");
  EXPECT_EQ(run.row(8), " 3 - 28800");
  EXPECT_EQ(run.row(9), " ?");
  answer(run, "4", 9, " ?");
  answer(run, "0", 9, " ?");
  answer(run, "2", 11, " Enter filename for save data file. No need to add extension.");
  EXPECT_EQ(run.row(12), " '.txt' will be added to PATS, Certificate, Summary and Report files");
  EXPECT_EQ(run.row(13), " '.csv' will be added to CSV files");
  EXPECT_EQ(run.row(14), " '.pat' will be added to Lorvane files");
  EXPECT_EQ(run.row(15), " ?");
  // An empty name is asked again in place.
  answer(run, "", 15, " ?");
  EXPECT_EQ(run.row(2), std::string(port_prompt) + "512");
  // Alt with a letter types nothing.
  run.type("sh");
  run.key("M-a");
  run.type("op");
  ASSERT_TRUE(run.wait_row(15, " ? shop")) << run.screen_text();
  answer(run, "", 1, " Select your download format :-");
  EXPECT_EQ(run.row(3), " 1 - PATS+");
  EXPECT_EQ(run.row(10), " 8 - Wide Report");
  EXPECT_EQ(run.row(12), " Select");
  answer(run, "9", 12, " Select");
  answer(run, "2", 8, " BAUD RATE: 19200");
  EXPECT_EQ(run.row(9), " DOWNLOAD FORMAT: CERTIFICATE");
  EXPECT_EQ(run.row(13), " Press ENTER to continue");
  answer(run, "", 4, " Press ENTER on your PC then press START SEARCH on your Supernova");
  EXPECT_EQ(run.row(1), " Select the dates or records that you want to export");
  EXPECT_EQ(run.row(2), " Once selected scroll to 'OK' but DO NOT press it yet");
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Dialogue, NegativePortAskedAgain) {
  RunFolder folder;
  TmuxRun run(folder);
  start(run);
  run.type_line("-3");
  ASSERT_TRUE(run.wait_row(2, std::string(port_prompt) + "-3"));
  answer(run, "3", 4, " Select Baud Rate. Higher value for faster transfer:-");
  EXPECT_EQ(run.row(2), std::string(port_prompt) + "33");
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Dialogue, ExistingFileIsAskedAboutUntilYesOrNo) {
  RunFolder folder;
  folder.write("shop.txt", "old");
  TmuxRun run(folder);
  start(run);
  answer(run, "3", 9, " ?");
  answer(run, "2", 15, " ?");
  answer(run, "shop", 12, " Select");
  const std::string question =
      " The file shop.txt already exists. Do you want to overwrite it? (Y/N) ? ";
  answer(run, "2", 14, question.substr(0, question.size() - 1));
  EXPECT_EQ(run.row(13), "");
  answer(run, "yes", 16, question.substr(0, question.size() - 1));
  EXPECT_EQ(run.row(14), question + "yes");
  answer(run, " y", 18, question.substr(0, question.size() - 1));
  EXPECT_EQ(run.row(16), question + " y");
  answer(run, "", 20, question.substr(0, question.size() - 1));
  answer(run, "y", 8, " BAUD RATE: 19200");
  EXPECT_EQ(folder.read("shop.txt"), "old");  // nothing is opened before the capture
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

TEST(Dialogue, NoAtTheOverwriteQuestionAsksForTheNameAgain) {
  RunFolder folder;
  folder.write("shop.txt", "old");
  TmuxRun run(folder);
  start(run);
  answer(run, "3", 9, " ?");
  answer(run, "2", 15, " ?");
  answer(run, "shop", 12, " Select");
  answer(run, "2", 14,
         " The file shop.txt already exists. Do you want to overwrite it? (Y/N) ?");
  answer(run, "n", 11, " Enter filename for save data file. No need to add extension.");
  EXPECT_EQ(run.row(1), "");  // the screen was cleared
  answer(run, "other", 12, " Select");
  answer(run, "5", 9, " DOWNLOAD FORMAT: CERTIFICATE");
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

struct InstructionCase {
  std::string config;  // quelmarint.cfg, empty for none
  std::string baud;
  std::string format;
  std::vector<std::pair<int, std::string>> rows;
};

void PrintTo(const InstructionCase&, std::ostream* out) { *out << "case"; }


class InstructionScreen : public ::testing::TestWithParam<InstructionCase> {};

TEST_P(InstructionScreen, ShowsTheTesterSettings) {
  const InstructionCase& c = GetParam();
  RunFolder folder;
  if (!c.config.empty()) folder.write("quelmarint.cfg", c.config);
  TmuxRun run(folder);
  start(run);
  answer(run, "3", 9, " ?");
  answer(run, c.baud, 15, " ?");
  answer(run, "shop", 12, " Select");
  run.type_line(c.format);
  ASSERT_TRUE(run.wait_row(6, " DESTINATION: PC")) << run.screen_text();
  for (const auto& [row, text] : c.rows) EXPECT_EQ(run.row(row), text) << run.screen_text();
  run.key("C-c");
  EXPECT_EQ(run.wait_exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, InstructionScreen,
    ::testing::Values(
        InstructionCase{"",
                        "1",
                        "1",
                        {{1, " In the MAIN MENU of the Supernova scroll down to DOWNLOAD RESULTS and press OK."},
                         {2, " This will bring up the 'Download Options' menu"},
                         {4, " Make sure the following are set :"},
                         {7, " OUTPUT CONNECTION: RS232"},
                         {8, " BAUD RATE: 9600"},
                         {9, " DOWNLOAD FORMAT: PATS+"},
                         {10, " OPTION: SEND USER"},
                         {11, ""},
                         {12, " Then press OK on your Supernova"},
                         {13, ""},
                         {14, " Press ENTER to continue"}}},
        InstructionCase{"",
                        "3",
                        "6",
                        {{8, " BAUD RATE: 28800"},
                         {9, " DOWNLOAD FORMAT: CERTIFICATE"},
                         {10, ""},
                         {13, " Press ENTER to continue"}}},
        InstructionCase{"ReportFormat=1\r\n", "2", "7", {{9, " DOWNLOAD FORMAT: SUMMARY"}}},
        InstructionCase{"ReportFormat=3\r\n", "2", "7", {{9, " DOWNLOAD FORMAT: CERTIFICATE"}}}),
    [](const auto& info) {
      return "Format" + info.param.format + "Baud" + info.param.baud +
             (info.param.config.empty() ? "" : "Config" + info.param.config.substr(13, 1));
    });

}  // namespace
}  // namespace pat::test
