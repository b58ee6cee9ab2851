#pragma once

#include "downloader/program.h"

namespace pat {

// Turns the captured certificate download into the file of formats 5 to 8
// under the same name, shows the finishing lines and ends the run. The
// capture's temporary copy is deleted only when the conversion lost nothing.
[[noreturn]] void convert_capture(Program& p);

// The capture's name with its extension replaced.
Text temporary_name(std::string_view file_name, std::string_view extension);

// Removes a file left by an earlier run, without failing when there is none.
void remove_leftover(FileTable& files, std::string_view name);

// Whether a conversion lost nothing of the download it read as file
// `number`: it wrote at least one record, and its reader took
// every byte of the file but, at most, one final byte 26.
bool converted_whole(const FileTable& files, int number, long records);

// The finishing line that names a download kept under `temp`.
Text kept_download_line(std::string_view temp);

}  // namespace pat
