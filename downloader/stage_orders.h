#pragma once

#include "downloader/capture/capture.h"
#include "downloader/convert/convert_capture.h"
#include "downloader/convert/summary_report.h"
#include "downloader/run_settings.h"

// What the run frame hands the capture and the conversions: each one's own
// order, read from the run's settings and the formats table.

namespace pat {

CaptureOrder capture_order(const RunSettings& s);
ConversionOrder conversion_order(const RunSettings& s);
SummaryReportOrder summary_report_order(const RunSettings& s);

}  // namespace pat
