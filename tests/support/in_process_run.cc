#include "tests/support/in_process_run.h"

#include "downloader/run_error.h"
#include "downloader/run_frame.h"
#include "tests/support/screen_rows.h"

namespace pat::test {

InProcessRun::~InProcessRun() {
  // Before the folder is removed.
  files.close_all();
}

int InProcessRun::run(const std::string& command_line) {
  program.command_line = command_line;
  return run_program(program);
}

bool InProcessRun::ends_run(Outcome outcome) {
  if (outcome == Outcome::go_on) return false;
  try {
    close_run(program, outcome);
  } catch (const ProgramExit&) {
  }
  return true;
}

std::string InProcessRun::row(int row) const {
  std::string text = row_text(console, row);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string InProcessRun::screen_text() const {
  std::string all;
  for (int r = 1; r <= 25; ++r) all += std::to_string(r) + "|" + row(r) + "\n";
  return all;
}

}  // namespace pat::test
