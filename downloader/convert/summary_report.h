#pragma once

#include <optional>

#include "downloader/console/console.h"
#include "downloader/convert/capture_copy.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

namespace pat {

// What the summary-based report is to be made from.
struct SummaryReportOrder {
  Text file_name;  // the captured summary download, and the report after it
  // The file under the temporary name that the operator agreed to replace.
  std::optional<FileIdentity> temporary_agreed;
};

// Turns the captured summary download into the Basic Report of every third
// line from the fourth. It returns with its files closed and the copy
// deleted, unless the report lost some of the download: then the copy is
// kept, and download_at still names it.
ConversionResult build_summary_report(Console& console, FileTable& files,
                                      const SummaryReportOrder& order, Text& download_at);

}  // namespace pat
