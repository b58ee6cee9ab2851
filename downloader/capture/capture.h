#pragma once

#include "downloader/program.h"

namespace pat {

// Creates the output file, opens the port and writes every byte received
// until the closing text, five seconds of silence, or, before any data,
// sixty seconds or Escape. Ends the run itself when nothing arrived.
void capture_download(Program& p);

}  // namespace pat
