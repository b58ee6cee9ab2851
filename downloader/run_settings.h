#pragma once

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
  // The capture's copy kept beside a converted file that lost part of it.
  Text kept_download;
};

}  // namespace pat
