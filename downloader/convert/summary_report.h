#pragma once

#include "downloader/program.h"

namespace pat {

// With summary_report set: turns the captured summary download into the
// Basic Report of every third line from the fourth. The name under which
// the download was kept because the report lost some of it; empty when the
// download was deleted or nothing was done.
Text build_summary_report(Program& p);

}  // namespace pat
