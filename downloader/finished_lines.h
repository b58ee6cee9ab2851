#pragma once

#include <string_view>

#include "downloader/console/console.h"
#include "downloader/formats.h"

namespace pat {

// The credits line of every set of finishing lines.
extern const char* const finished_credits_line;

// The lines that close a download which made its file, from the cursor on:
// one set for a file kept as captured, another for a converted one.
void show_finished_lines(Console& c, const OutputFormat& format, std::string_view file_name);

}  // namespace pat
