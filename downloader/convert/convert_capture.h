#pragma once

#include <optional>

#include "downloader/files/file_identity.h"
#include "downloader/program.h"
#include "downloader/stage_outcome.h"

namespace pat {

// Turns the captured certificate download into the file of formats 5 to 8
// under the same name and shows the finishing lines; the run then ends. The
// capture's temporary copy is deleted only when the conversion lost nothing:
// not when it wrote no record, stopped at a byte 26 or ended inside a record.
Outcome convert_capture(Program& p);

// The capture's name with its extension replaced.
Text temporary_name(std::string_view file_name, std::string_view extension);

// Removes a file left by an earlier run, without failing when there is none:
// only the file that the operator agreed to replace (`agreed`, as it was
// when asked), or one this probe made. A file that came under the name since,
// another copy's kept download say, stays, and the conversion ends with 55.
void remove_leftover(FileTable& files, std::string_view name,
                     const std::optional<FileIdentity>& agreed);

// Whether a conversion lost nothing of the download it read as file
// `number`: it wrote at least one record, and its reader took
// every byte of the file but, at most, one final byte 26.
bool converted_whole(const FileTable& files, int number, long records);


}  // namespace pat
