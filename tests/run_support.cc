#include "tests/run_support.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <stdexcept>

#include "downloader/run_error.h"
#include "downloader/run_frame.h"

namespace pat::test {

InProcessRun::InProcessRun() {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd)) old_cwd_ = cwd;
  char name[] = "/tmp/pat-inproc-XXXXXX";
  if (!mkdtemp(name)) throw std::runtime_error("mkdtemp");
  folder_ = name;
  if (chdir(folder_.c_str()) != 0) throw std::runtime_error("chdir");
}

InProcessRun::~InProcessRun() {
  files.close_all();
  if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) {
  }
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
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
  std::string text = console.row_text(row);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string InProcessRun::screen_text() const {
  std::string all;
  for (int r = 1; r <= 25; ++r) all += std::to_string(r) + "|" + row(r) + "\n";
  return all;
}

}  // namespace pat::test
