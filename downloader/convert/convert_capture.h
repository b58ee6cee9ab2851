#pragma once

#include <optional>

#include "downloader/console/console.h"
#include "downloader/convert/capture_copy.h"
#include "downloader/convert/writer.h"
#include "downloader/convert/writers.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

namespace pat {

// What the conversion of a captured certificate download is to make.
struct ConversionOrder {
  Text file_name;  // the capture, and the converted file after it
  Writer writer = Writer::none;
  Text report_format;    // the Basic Report's layout
  TrailerTexts trailer;  // for the Lorvane data file's trailer
  // The file under the temporary name that the operator agreed to replace.
  std::optional<FileIdentity> temporary_agreed;
};

// Turns the captured certificate download into the file of the order's
// writer under the same name. It returns with the converted file (2) on the
// medium and both it and the copy (1) still open, the screen cleared for the
// finishing lines; close_conversion (capture_copy.h) ends it. The copy is
// kept when the conversion lost anything: it wrote no record, stopped at a
// byte 26 or ended inside a record. download_at names the copy from the
// move on.
ConversionResult convert_capture(Console& console, FileTable& files, const LocalTime& local_time,
                                 const ConversionOrder& order, Text& download_at);

}  // namespace pat
