#pragma once

#include "downloader/program.h"

namespace pat {

// Reads quelmarint.cfg and sets report_format to "1" to "4"; a value above 4
// ends the run with its message.
void read_configuration(Program& p);

}  // namespace pat
