#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// Reads quelmarint.cfg and sets report_format to "1" to "4"; a value above 4
// shows its message and ends the run.
Outcome read_configuration(Program& p);

}  // namespace pat
