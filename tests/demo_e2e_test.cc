// The demo a newcomer starts with `make demo`: a whole download from the
// simulated tester, after which the folder stays with what the program made
// and no tester is left running.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e_dialogue.h"
#include "tests/e2e_support.h"

namespace pat::test {
namespace {

namespace fs = std::filesystem;

// Processes whose command line names `text`.
int processes_naming(const std::string& text) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(cmdline)), {});
    if (line.find(text) != std::string::npos) ++count;
  }
  return count;
}

TEST(Demo, KeepsItsFilesAndSaysWhere) {
  RunFolder scratch;  // the demo makes its folder in here
  const std::string build = binary_dir() + "/..";
  TmuxRun run(scratch, "",
              "TMPDIR=" + scratch.path() + " " + std::string(PAT_SOURCE_DIR) + "/tools/demo " + build);
  ASSERT_TRUE(run.wait_contains("Press Enter to start.", 20)) << run.screen_text();
  run.key("Enter");
  answer_up_to_capture(run, "3", "2", "shop", "5");
  run.key("Enter");
  ASSERT_TRUE(run.wait_row(2, " Finished", 30)) << run.screen_text();
  run.key("Enter");
  ASSERT_TRUE(run.wait_contains("Run the demo again with: make demo", 20)) << run.screen_text();

  std::vector<fs::path> made;
  for (const auto& e : fs::directory_iterator(scratch.path()))
    if (e.path().filename().string().rfind("pat-demo-", 0) == 0) made.push_back(e.path());
  ASSERT_EQ(made.size(), 1u);
  const std::string folder = made.front().string();
  EXPECT_NE(run.screen_text().find("The files stay in " + folder + "."), std::string::npos)
      << run.screen_text();
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"shop.csv"});
  EXPECT_GT(fs::file_size(folder + "/shop.csv"), 0u);
  EXPECT_EQ(processes_naming(folder), 0);
  EXPECT_EQ(run.wait_exit(), 0);
}

// A tester that ends before it is ready, here for want of its sample: the
// demo stops at once with the tester's message, and leaves nothing behind.
TEST(Demo, StopsWithTheTestersMessageWhenTheTesterEndsEarly) {
  RunFolder scratch;
  // The demo alone, without the sample it gives the tester to send.
  fs::create_directory(scratch.file("tools"));
  const std::string demo = scratch.file("tools/demo");
  fs::copy_file(std::string(PAT_SOURCE_DIR) + "/tools/demo", demo);
  fs::permissions(demo, fs::perms::owner_all);
  const std::string build = binary_dir() + "/..";
  TmuxRun run(scratch, "", "TMPDIR=" + scratch.path() + " " + demo + " " + build);
  EXPECT_EQ(run.wait_exit(), 1) << run.screen_text();
  const std::string screen = run.screen_text();
  EXPECT_NE(screen.find("The simulated tester stopped before it was ready (status 1):"),
            std::string::npos)
      << screen;
  EXPECT_NE(screen.find("sim_tester: cannot read " + scratch.path() +
                        "/tools/sample-download.txt: No such file or directory"),
            std::string::npos)
      << screen;
  EXPECT_EQ(screen.find("Press Enter to start."), std::string::npos) << screen;
  for (const auto& e : fs::directory_iterator(scratch.path()))
    EXPECT_NE(e.path().filename().string().rfind("pat-demo-", 0), 0u) << e.path();
}

}  // namespace
}  // namespace pat::test
