#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

// The main routine, its one error handler and the ways a run ends.

namespace pat {

// Runs the stages once; every path ends by throwing ProgramExit.
void main_program(Program& p);

// The top: runs main_program, closes what is open and gives exit status 0
// on every way out.
int run_program(Program& p);

// After a capture that received data: the conversion or the summary-based
// report where the format asks for one, then the finishing lines, for every
// format; a conversion's files are closed and its copy deleted after them.
void finish_download(Program& p);

// Shows the closing screen that the outcome of the last stage asks for, then
// the closing prompt.
[[noreturn]] void close_run(Program& p, Outcome outcome);

[[noreturn]] void handle_run_error(Program& p, int number);
void show_version_lines(Program& p);
[[noreturn]] void end_statement(Program& p);

}  // namespace pat
