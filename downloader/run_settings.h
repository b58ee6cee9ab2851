#pragma once

#include <optional>

#include "downloader/files/file_identity.h"
#include "downloader/text/text.h"

namespace pat {

// What one run carries from the dialogue to the capture and the conversion.
struct RunSettings {
  Text version_text;
  Text version_date;
  Text report_format;
  float port_number = 0;
  Text port_text;
  float baud_choice = 0;
  Text baud_text;
  Text file_name;
  Text extension;
  float output_format = 0;
  bool summary_report = false;
  Text overwrite_answer;
  bool data_received = false;
  // The files under the output name and the conversion's temporary name
  // that the operator agreed to replace, as they were when asked; none where
  // no file stood.
  std::optional<FileIdentity> output_agreed;
  std::optional<FileIdentity> temporary_agreed;
  // Where the whole download lies while no converted file holds it: the
  // output name from the capture's first byte (for a format that is
  // converted), the temporary name once moved there; empty once it is
  // converted and its copy deleted, or before any byte came.
  Text download_at;
};

}  // namespace pat
