#pragma once

#include <string>

#include "downloader/console/console.h"

// The console's screen read back as text.

namespace pat::test {

// The character bytes of one row (from 1), every column; empty for a row
// off the screen.
std::string row_text(const Console& console, int row);

}  // namespace pat::test
