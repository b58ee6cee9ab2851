#pragma once

#include "downloader/program.h"

// The main routine, its one error handler and the ways a run ends.

namespace pat {

// Runs the stages once; every path ends by throwing ProgramExit.
void main_program(Program& p);

// The top: runs main_program, closes what is open and gives exit status 0
// on every way out.
int run_program(Program& p);

// The credits line of every set of finishing lines.
extern const char* const finished_credits_line;

[[noreturn]] void handle_run_error(Program& p, int number);
[[noreturn]] void show_version_lines(Program& p);
// kept: the temporary name of a download that was kept, or empty.
[[noreturn]] void show_finished_lines(Program& p, std::string_view kept = {});
[[noreturn]] void end_statement(Program& p);

}  // namespace pat
