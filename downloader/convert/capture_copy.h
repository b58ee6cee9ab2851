#pragma once

#include <optional>
#include <string_view>

#include "downloader/files/file_identity.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

// The capture's copy: while a conversion reads the download, it lies under
// the output name with one of these extensions, and stays there when the
// converted file lost part of it.

namespace pat {

// By a writer, and into the summary-based report.
constexpr std::string_view conversion_copy_extension = "tmp";
constexpr std::string_view summary_copy_extension = "xtx";

// While a conversion runs, the copy is read as file 1 and the converted file
// written as file 2.
inline constexpr int copy_file = 1;
inline constexpr int converted_file = 2;

// What a conversion did with the copy.
struct ConversionResult {
  Text copy;          // the temporary name the download was moved to
  bool kept = false;  // the converted file lost part of it: the copy stays
};

// Removes a file left by an earlier run, without failing when there is none:
// only the file that the operator agreed to replace (`agreed`, as it was
// when asked), or one this probe made. A file that came under the name since,
// another copy's kept download say, stays, and the conversion ends with 55.
void remove_leftover(FileTable& files, std::string_view name,
                     const std::optional<FileIdentity>& agreed);

// Moves the capture under `name` to its copy (the name with `extension`),
// after the leftover there went as remove_leftover says, and opens both:
// the copy for reading, a new empty file under the name for writing.
// download_at names the copy from the move on. The copy's name.
Text move_to_copy(FileTable& files, const Text& name, std::string_view extension,
                  const std::optional<FileIdentity>& agreed, Text& download_at);

// Closes the copy and the converted file, then deletes the copy unless it
// is kept; download_at is then cleared.
void close_conversion(FileTable& files, const ConversionResult& result, Text& download_at);

// Whether a conversion lost nothing of the download it read as file
// `number`: it wrote at least one record, and its reader took
// every byte of the file but, at most, one final byte 26.
bool converted_whole(const FileTable& files, int number, long records);

}  // namespace pat
