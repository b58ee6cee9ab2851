// The closing screens in a terminal of 80 x 24, which tmux, like many
// terminals, does not grow: how the run ended stays in sight above the
// closing prompt. Whole runs in tmux with the simulated tester.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

struct ClosingCase {
  const char* name;
  std::string port;
  std::string format;
  std::string sent;  // what the simulated tester sends; none runs without it
  std::function<void(TmuxRun&)> during_capture;
  std::vector<std::pair<int, std::string>> rows;  // the terminal's rows at the end
};

void PrintTo(const ClosingCase& c, std::ostream* out) { *out << c.name; }

class ClosingScreenIn80x24 : public ::testing::TestWithParam<ClosingCase> {};

TEST_P(ClosingScreenIn80x24, ShowsItsTopAboveThePrompt) {
  const ClosingCase& c = GetParam();
  RunFolder folder;
  std::optional<SimTester> tester;
  if (!c.sent.empty() || c.during_capture) tester.emplace(folder, TesterOptions{.send = c.sent, .baud = 0});
  TmuxRun run(folder, "", "./pat-downloader", 80, 24);
  answer_up_to_capture(run, c.port, "2", "shop", c.format);
  run.key("Enter");
  if (c.during_capture) c.during_capture(run);
  ASSERT_TRUE(run.wait_row(23, "Press any key to continue", 30)) << run.screen_text();
  EXPECT_EQ(run.row(24), "Needs 100 x 25, this terminal is 80 x 24");
  for (const auto& [row, text] : c.rows) EXPECT_EQ(run.row(row), text) << run.screen_text();
  run.key("Enter");
  EXPECT_EQ(run.wait_exit(), 0);
}

const char* const waiting = " Waiting for data from Supernova. This can take up to 60 seconds";

INSTANTIATE_TEST_SUITE_P(
    Ends, ClosingScreenIn80x24,
    ::testing::Values(
        ClosingCase{"Certificate", "3", "2", certificate_download(3), nullptr,
                    {{1, " Finished!"}, {3, " File 'shop.txt' created."}}},
        ClosingCase{"CsvFile", "3", "5", certificate_download(3), nullptr,
                    {{1, ""}, {2, " Finished"}, {4, " CSV File 'shop.csv' created"}}},
        ClosingCase{"NothingReceived", "3", "2", "",
                    [](TmuxRun& run) {
                      ASSERT_TRUE(run.wait_row(2, waiting)) << run.screen_text();
                      run.key("Escape");
                    },
                    {{1, " ERROR"}, {3, " NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS"}}},
        ClosingCase{"PortNotAnswering", "200", "2", "", nullptr,
                    {{1, " FATAL PROGRAMME ERROR!!"}, {3, " COM PORT 200 NOT ANSWERING"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pat::test
