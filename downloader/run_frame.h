#pragma once

#include "downloader/program.h"

// The main routine, its one error handler and the ways a run ends.

namespace pat {

// Runs the stages once; every path ends by throwing ProgramExit.
void main_program(Program& p);

// The top: runs main_program, closes what is open and gives exit status 0
// on every way out.
int run_program(Program& p);

[[noreturn]] void handle_run_error(Program& p, int number);
[[noreturn]] void show_version_lines(Program& p);
[[noreturn]] void show_finished_lines(Program& p);
[[noreturn]] void end_statement(Program& p);

}  // namespace pat
