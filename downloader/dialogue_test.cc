#include "downloader/dialogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "downloader/run_error.h"
#include "tests/support/file_bytes.h"
#include "tests/support/in_process_run.h"

namespace pat::test {
namespace {

std::string question(const std::string& name) {
  return " The file " + name + " already exists. Do you want to overwrite it? (Y/N) ? ";
}

// The overwrite questions: the output file's, and the one for the temporary
// file that the conversion would delete.
TEST(OverwriteQuestions, AsksBeforeTheOutputOrTheTemporaryFileIsReplaced) {
  struct Case {
    std::string label;
    std::string report_format;
    std::map<std::string, std::string> files;  // in the folder before the run
    std::vector<std::string> answers;          // from the file name on
    std::string file_name;                     // as the dialogue leaves it
    std::vector<std::pair<int, std::string>> rows;  // at its end
  };
  const std::vector<Case> cases = {
      {"output and temporary file",
       "2",
       {{"shop.csv", "old"}, {"shop.tmp", "kept"}},
       {"shop", "5", "y", "Y"},
       "shop.csv",
       {{13, ""}, {14, question("shop.csv") + "y"}, {15, ""}, {16, question("shop.tmp") + "Y"}}},
      {"only the temporary file, where the first question stands",
       "2",
       {{"shop.tmp", "kept"}},
       {"shop", "6", "maybe", "y"},
       "shop.pat",
       {{13, ""}, {14, question("shop.tmp") + "maybe"}, {16, question("shop.tmp") + "y"}}},
      {"a Basic Report asks about its tmp",
       "3",
       {{"shop.tmp", "kept"}},
       {"shop", "7", "y"},
       "shop.txt",
       {{14, question("shop.tmp") + "y"}}},
      {"a Wide Report asks about its tmp",
       "1",
       {{"shop.tmp", "kept"}},
       {"shop", "8", "y"},
       "shop.txt",
       {{14, question("shop.tmp") + "y"}}},
      {"formats kept as captured use no temporary file",
       "2",
       {{"shop.tmp", "kept"}, {"shop.xtx", "kept"}},
       {"shop", "2"},
       "shop.txt",
       {{13, ""}, {14, ""}}},
      {"the summary download kept as captured",
       "1",
       {{"shop.tmp", "kept"}, {"shop.xtx", "kept"}},
       {"shop", "3"},
       "shop.txt",
       {{14, ""}}},
      {"the summary-based report asks about its xtx alone",
       "1",
       {{"shop.tmp", "kept"}, {"shop.xtx", "kept"}},
       {"shop", "7", "y"},
       "shop.txt",
       {{14, question("shop.xtx") + "y"}, {15, ""}, {16, ""}}},
      {"a name with a point asks about the file it would take",
       "2",
       {{"site.tmp", "not the program's"}},
       {"site.north", "5", "y"},
       "site.csv",
       {{14, question("site.tmp") + "y"}}},
      {"a point in a folder name",
       "2",
       {{"my.tmp", "not the program's"}},
       {"my.dir/shop", "5", "y"},
       "my.csv",
       {{14, question("my.tmp") + "y"}}},
      {"a folder of the temporary name is not asked about",
       "2",
       {{"shop.tmp/", ""}},
       {"shop", "5"},
       "shop.csv",
       {{14, ""}}},
      {"N for the temporary file asks for the name again",
       "2",
       {{"shop.tmp", "kept"}},
       {"shop", "5", "n", "other", "5"},
       "other.csv",
       {{1, " Select your download format :-"}, {14, ""}}},
      {"N for the temporary file after Y for the output file",
       "2",
       {{"shop.csv", "old"}, {"shop.tmp", "kept"}},
       {"shop", "5", "y", "n", "shop", "2"},
       "shop.txt",
       {{14, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    InProcessRun run;
    for (const auto& [name, bytes] : c.files) {
      if (name.back() == '/') {
        ASSERT_TRUE(std::filesystem::create_directory(run.file(name)));
      } else {
        write_bytes(run.file(name), bytes);
      }
    }
    run.console.width_statement(100);
    run.program.settings.report_format = c.report_format;
    run.backend.type_line("3");
    run.backend.type_line("2");
    for (const std::string& answer : c.answers) run.backend.type_line(answer);
    try {
      run_dialogue(run.program);
    } catch (const ProgramExit&) {
      ADD_FAILURE() << "the dialogue asked for more\n" << run.screen_text();
      continue;
    }
    EXPECT_EQ(run.program.settings.file_name, c.file_name);
    for (const auto& [row, text] : c.rows) {
      EXPECT_EQ(run.row(row), text) << "row " << row << "\n" << run.screen_text();
    }
    // Nothing is deleted or changed while the dialogue asks.
    for (const auto& [name, bytes] : c.files) {
      if (name.back() == '/') continue;
      EXPECT_EQ(read_bytes(run.file(name)), bytes) << name;
    }
  }
}

}  // namespace
}  // namespace pat::test
