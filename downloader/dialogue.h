#pragma once

#include "downloader/program.h"

namespace pat {

// Asks for port, baud rate, file name and format, forces the extension and
// asks before an existing file is overwritten: the output file, then the
// temporary file its conversion will use.
void run_dialogue(Program& p);

}  // namespace pat
