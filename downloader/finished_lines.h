#pragma once

#include <string_view>

#include "downloader/console/console.h"
#include "downloader/formats.h"
#include "downloader/text/text.h"

namespace pat {

// The credits line of every set of finishing lines.
extern const char* const finished_credits_line;

// The line that names a download kept under its temporary name.
Text kept_download_line(std::string_view temp);

// The lines that close a download which made its file, from the cursor on:
// one set for a file kept as captured, another for a converted one. kept:
// the temporary name of a download kept beside the file, or empty.
void show_finished_lines(Console& c, const OutputFormat& format, std::string_view file_name,
                         std::string_view kept = {});

}  // namespace pat
