#pragma once

#include "downloader/program.h"

namespace pat {

// The program's arguments joined by single blanks, case unchanged.
Text command_line(int argc, const char* const* argv);

// "/v" and "/?", each alone and exact, end the run with their screens.
void check_command_line(Program& p);
[[noreturn]] void show_help_screen(Program& p);

}  // namespace pat
