#pragma once

#include "downloader/program.h"

namespace pat {

// With summary_report set: turns the captured summary download into the
// Basic Report of every third line from the fourth.
void build_summary_report(Program& p);

}  // namespace pat
