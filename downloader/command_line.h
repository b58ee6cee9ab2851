#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// The program's arguments joined by single blanks, case unchanged.
Text command_line(int argc, const char* const* argv);

// "/v" and "/?", each alone and exact, end the run with their screens: the
// version lines, or the help screen shown here.
Outcome check_command_line(Program& p);
void show_help_screen(Program& p);

}  // namespace pat
