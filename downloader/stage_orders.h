#pragma once

#include "downloader/capture/capture.h"
#include "downloader/run_settings.h"

// What the run frame hands the capture and the conversions: each one's own
// order, read from the run's settings and the formats table.

namespace pat {

CaptureOrder capture_order(const RunSettings& s);

}  // namespace pat
