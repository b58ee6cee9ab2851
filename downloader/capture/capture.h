#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// Creates the output file, opens the port and writes every byte received
// until the closing text, five seconds of silence, or, before any data,
// sixty seconds or Escape. When nothing arrived it says so, deletes the file
// and asks for the version lines.
Outcome capture_download(Program& p);

}  // namespace pat
