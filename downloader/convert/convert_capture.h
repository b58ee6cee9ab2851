#pragma once

#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// Turns the captured certificate download into the file of formats 5 to 8
// under the same name and shows the finishing lines; the run then ends.
Outcome convert_capture(Program& p);

// The capture's name with its extension replaced.
Text temporary_name(std::string_view file_name, std::string_view extension);

// Removes a file left by an earlier run, without failing when there is none.
void remove_leftover(FileTable& files, std::string_view name);

}  // namespace pat
