// Whole runs in one process: the handler's screens, the unhandled-error
// box, the version lines and the closing prompt.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "downloader/run_frame.h"
#include "tests/support/dialogue.h"
#include "tests/support/file_bytes.h"
#include "tests/support/held_file.h"
#include "tests/support/in_process_run.h"
#include "tests/support/screen_rows.h"

namespace pat::test {
namespace {

const char* const version_line = " Version : 0.12 - 16-11-2019";

// The handler, entered for `number`, up to the end of the run.
void enter_handler(Program& p, int number) {
  try {
    handle_run_error(p, number);
  } catch (const ProgramExit&) {
  }
}

// Answers the dialogue: port, baud choice, name, format, then the two
// instruction screens.
void answer_dialogue(ScriptedBackend& b, const std::string& port, const std::string& name,
                     const std::string& format) {
  script_dialogue(b, {.port = port, .name = name, .format = format});
}

TEST(ErrorHandlerScreens, PortThatCannotBeOpened) {
  InProcessRun run;
  answer_dialogue(run.backend, "200", "shop", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " FATAL PROGRAMME ERROR!!") << run.screen_text();
  EXPECT_EQ(run.row(2), "");
  EXPECT_EQ(run.row(3), " COM PORT 200 NOT ANSWERING");
  EXPECT_EQ(row_text(run.console, 4).substr(0, 12), " Error: 68  ");
  EXPECT_EQ(run.row(5), "");
  EXPECT_EQ(run.row(6), "");
  EXPECT_EQ(run.row(7), version_line);
  EXPECT_NE(run.row(8), "");
  EXPECT_EQ(run.row(11), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
  // The output file was created just before the port was tried.
  EXPECT_FALSE(path_exists(run.file("shop.txt")));
}

TEST(ErrorHandlerScreens, OutputFileRefused) {
  InProcessRun run;
  ASSERT_EQ(mkdir(run.file("shop.txt").c_str(), 0755), 0);
  answer_dialogue(run.backend, "3", "shop", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " FATAL PROGRAMME ERROR!!") << run.screen_text();
  EXPECT_EQ(run.row(3), " Output file already open. Close any program that is reading shop.txt");
  EXPECT_EQ(run.row(4), " Error: 70");
  EXPECT_EQ(run.row(7), version_line);
  EXPECT_EQ(run.row(25), "Press any key to continue");
  struct stat st;
  EXPECT_EQ(stat(run.file("shop.txt").c_str(), &st), 0);  // left as it was
}

// The dialogue for a name that exists, overwrite answered yes.
void answer_dialogue_overwriting(ScriptedBackend& b, const std::string& port,
                                 const std::string& name, const std::string& format) {
  script_dialogue(b, {.port = port, .name = name, .format = format, .overwrite = true});
}

// Another copy is still capturing into the name: its file is refused before
// this copy's port is tried, and is neither emptied nor deleted.
TEST(ErrorHandlerScreens, OutputFileHeldByAnotherCopy) {
  InProcessRun run;
  write_bytes(run.file("shop.txt"), "the other copy's capture");
  HeldFile other_copy(run.file("shop.txt"));
  answer_dialogue_overwriting(run.backend, "200", "shop", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " FATAL PROGRAMME ERROR!!") << run.screen_text();
  EXPECT_EQ(run.row(3), " Output file already open. Close any program that is reading shop.txt");
  EXPECT_EQ(run.row(4), " Error: 70");
  EXPECT_TRUE(run.backend.boxes.empty());
  EXPECT_EQ(read_bytes(run.file("shop.txt")), "the other copy's capture");
}

// Error 68 from the output's own open (a pipe without a reader): the name
// holds nothing of this run, so the handler deletes nothing.
TEST(ErrorHandlerScreens, OutputThatCouldNotBeOpenedIsNotDeleted) {
  InProcessRun run;
  ASSERT_EQ(mkfifo(run.file("shop.txt").c_str(), 0644), 0);
  run.backend.answer_boxes({true});
  answer_dialogue_overwriting(run.backend, "3", "shop", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " FATAL PROGRAMME ERROR!!") << run.screen_text();
  EXPECT_EQ(run.row(3), " COM PORT 3 NOT ANSWERING");
  EXPECT_EQ(run.row(4), " Error: 68");
  ASSERT_EQ(run.backend.boxes.size(), 2u);
  EXPECT_EQ(run.backend.boxes[0], "Unhandled Error #53");
  struct stat st;
  ASSERT_EQ(lstat(run.file("shop.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ErrorHandlerScreens, OtherNumberShowsOnlyTheErrorLine) {
  InProcessRun run;
  answer_dialogue(run.backend, "3", "nofolder/shop", "2");
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.row(1), " FATAL PROGRAMME ERROR!!") << run.screen_text();
  EXPECT_EQ(run.row(2), " Error: 76");
  EXPECT_EQ(run.row(3), "");
  EXPECT_EQ(run.row(4), "");
  EXPECT_EQ(run.row(5), version_line);
  EXPECT_EQ(run.row(9), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
}

// Error 68 for an output file that was never created: the handler's delete
// fails, and the box asks whether to go on.
class UnhandledErrorBox : public ::testing::TestWithParam<bool> {};

TEST_P(UnhandledErrorBox, AnswerDecidesWhetherTheHandlerGoesOn) {
  const bool go_on = GetParam();
  InProcessRun run;
  Program& p = run.program;
  p.console.width_statement(100);
  p.console.colour_statement(0, 7);
  p.console.clear_screen();
  p.settings.version_text = "0.12";
  p.settings.version_date = "16-11-2019";
  p.settings.port_text = "3";
  p.settings.file_name = "shop.txt";
  run.backend.answer_boxes({go_on});
  enter_handler(p, 68);
  ASSERT_EQ(run.backend.boxes.size(), 2u);  // one box: its caption and its text
  EXPECT_EQ(run.backend.boxes[0], "Unhandled Error #53");
  EXPECT_NE(run.backend.boxes[1].find("Continue?"), std::string::npos);
  EXPECT_EQ(run.row(3), " COM PORT 3 NOT ANSWERING");
  if (go_on) {
    EXPECT_EQ(run.row(4), " Error: 68");
    EXPECT_EQ(run.row(7), version_line);
    EXPECT_EQ(run.row(25), "Press any key to continue");
  } else {
    EXPECT_EQ(run.row(4), "");
    EXPECT_EQ(run.row(25), "");
  }
}

INSTANTIATE_TEST_SUITE_P(YesAndNo, UnhandledErrorBox, ::testing::Bool());

// An error screen that ends a run while nothing but one file holds the
// download names that file, so that a rerun does not take it.
TEST(ErrorHandlerScreens, NameWhereTheDownloadLies) {
  struct Case {
    const char* name;
    int number;
    std::string download_at;
    int kept_row;  // 0: no such line
    int version_row;
  };
  const Case cases[] = {
      {"cut comment block", 62, "shop.tmp", 3, 6},
      {"full disk while capturing for a conversion", 75, "shop.csv", 3, 6},
      {"refused header file", 70, "shop.tmp", 5, 8},
      {"converted already", 75, "", 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessRun run;
    Program& p = run.program;
    p.console.width_statement(100);
    p.settings.version_text = "0.12";
    p.settings.version_date = "16-11-2019";
    p.settings.file_name = "shop.csv";
    p.settings.download_at = c.download_at;
    enter_handler(p, c.number);
    const int error_row = c.number == 70 ? 4 : 2;
    EXPECT_EQ(run.row(error_row), " Error: " + std::to_string(c.number)) << run.screen_text();
    // The kept line right after the error line, then the handler's empty
    // line and the version lines, as ever.
    const int last_row = c.kept_row != 0 ? c.kept_row : error_row;
    if (c.kept_row != 0) {
      EXPECT_EQ(c.kept_row, error_row + 1);
      EXPECT_EQ(run.row(c.kept_row), " The download is kept in '" + c.download_at + "'");
    }
    EXPECT_EQ(run.row(last_row + 1), "");
    EXPECT_EQ(run.row(last_row + 2), "");
    EXPECT_EQ(last_row + 3, c.version_row);
    EXPECT_EQ(run.row(c.version_row), version_line);
  }
}

// Error 68 once the output name holds the download: it is not deleted.
TEST(ErrorHandlerScreens, PortErrorKeepsAnOutputThatHoldsTheDownload) {
  InProcessRun run;
  Program& p = run.program;
  write_bytes(run.file("shop.csv"), "the download");
  p.files.open_file("shop.csv", mode_output, 2, Emptying::at_first_write);
  p.files.print_to_file(2, "the download", false);
  p.settings.port_text = "3";
  p.settings.file_name = "shop.csv";
  p.settings.download_at = "shop.csv";
  enter_handler(p, 68);
  EXPECT_EQ(run.row(3), " COM PORT 3 NOT ANSWERING") << run.screen_text();
  EXPECT_EQ(run.row(4), " Error: 68");
  EXPECT_EQ(run.row(5), " The download is kept in 'shop.csv'");
  EXPECT_TRUE(run.backend.boxes.empty());
  EXPECT_EQ(read_bytes(run.file("shop.csv")), "the download");
}

// A box that ends the run says it too.
TEST(ErrorHandlerScreens, UnhandledErrorBoxNamesWhereTheDownloadLies) {
  InProcessRun run;
  Program& p = run.program;
  p.settings.port_text = "3";
  p.settings.file_name = "shop.txt";
  p.settings.download_at = "shop.xtx";
  run.backend.answer_boxes({false});
  enter_handler(p, 68);
  ASSERT_EQ(run.backend.boxes.size(), 2u);
  const std::string& text = run.backend.boxes[1];
  EXPECT_NE(text.find("\n The download is kept in 'shop.xtx'\nContinue?"), std::string::npos)
      << text;
}

TEST(VersionLines, SlashVShowsTitleAndVersion) {
  InProcessRun run;
  EXPECT_EQ(run.run("/v"), 0);
  EXPECT_EQ(run.row(1), "Read Data via RS-232 for Seaward Supernova");
  EXPECT_EQ(run.row(2), "");
  EXPECT_EQ(run.row(3), version_line);
  for (int r = 4; r <= 6; ++r) EXPECT_NE(run.row(r), "") << r;
  EXPECT_EQ(run.row(7), "");
  EXPECT_EQ(run.row(25), "Press any key to continue");
  EXPECT_EQ(run.console.screen().cursor_row, 25);
  EXPECT_EQ(run.console.screen().cursor_column, 26);
}

// Keys typed before the closing prompt do not end its wait, nor do those
// held back while the typed-key buffer was full.
TEST(EndStatement, KeysWaitingBeforeThePromptAreDiscarded) {
  struct Case {
    const char* name;
    std::string before;
  };
  const std::vector<Case> cases = {
      {"two keys", "xy"},
      {"more keys than the buffer holds", "north-workshop-store-room-may-2019\r"},
  };
  for (const Case& c : cases) {
    InProcessRun run;
    Program& p = run.program;
    for (char key : c.before) {
      const auto byte = static_cast<std::uint8_t>(key);
      p.console.key_press(byte, TypedKey{byte, 0}, true);
    }
    run.backend.idle_steps(3);
    run.backend.press('z', TypedKey{'z', 44}, true);
    try {
      end_statement(p);
    } catch (const ProgramExit&) {
    }
    EXPECT_TRUE(run.backend.script_done()) << c.name;
    EXPECT_FALSE(p.console.end_requested()) << c.name << ": the last key, not the script's end, ended it";
    EXPECT_TRUE(p.console.read_typed_key().empty()) << c.name;
  }
}

}  // namespace
}  // namespace pat::test
