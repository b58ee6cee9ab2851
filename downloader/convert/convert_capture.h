#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// Turns the captured certificate download into the file of formats 5 to 8
// under the same name and shows the finishing lines; the run then ends. The
// capture's temporary copy is deleted only when the conversion lost nothing:
// not when it wrote no record, stopped at a byte 26 or ended inside a record.
Outcome convert_capture(Program& p);

}  // namespace pat
