#pragma once

#include <functional>
#include <optional>

#include "downloader/capture/byte_rule.h"
#include "downloader/console/console.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

namespace pat {

// What the capture is to take, and from where.
struct CaptureOrder {
  Text port_text;  // the port's number, as the reading screen names it
  Text open_text;  // the port's open text, with its line settings
  Text file_name;  // the output file
  ByteRule byte_rule = ByteRule::as_sent;
  // A conversion reads the capture afterwards: until it has, the output
  // file alone holds the download.
  bool converted_later = false;
  // The file under the output name that the operator agreed to replace.
  std::optional<FileIdentity> output_agreed;
};

// Seconds from a steady clock.
using CaptureClock = std::function<float()>;

// Creates the output file, opens the port and writes every byte received
// until the closing text, five seconds of silence, or, before any data,
// sixty seconds or Escape. Whether data arrived: when nothing did, it says
// so, and the output name is as it was before the capture. For a capture
// converted later, download_at names the output from the first byte.
bool capture_download(Console& console, FileTable& files, const CaptureClock& clock,
                      const CaptureOrder& order, Text& download_at);

}  // namespace pat
