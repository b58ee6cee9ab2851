#pragma once

#include <string_view>

#include "downloader/capture/byte_rule.h"
#include "downloader/convert/writer.h"

// The eight output formats: what each one asks of the tester, of the capture
// and of the conversion, and how its finishing lines read.

namespace pat {

struct OutputFormat {
  int number;                         // the menu choice; 0 for an answer outside the table
  std::string_view extension;
  std::string_view tester_format;     // the tester's DOWNLOAD FORMAT; empty: no row
  std::string_view tester_option;     // an OPTION to set on the tester; empty: no row
  ByteRule capture_rule;
  Writer writer;
  std::string_view created_text;      // the finishing line up to the file name
  std::string_view finishing_note;    // a line after it; empty: none
};

// The entry of an output_format. An answer that is not a whole number from
// 1 to 8 gets the entry of no format: a "txt" file kept as captured, no
// DOWNLOAD FORMAT row.
const OutputFormat& find_format(float output_format);

// Whether the format question takes an answer: any number above 0 and below
// the one after the last format, fractions included; others are asked again.
bool format_answer_taken(float answer);

// The operator's final format answer as the run keeps it.
struct FormatChoice {
  float output_format;
  bool summary_report;  // the capture goes on to the summary-based report
  std::string_view extension;
  // The capture lies under this extension while it is converted; empty for
  // a format kept as captured.
  std::string_view temporary_extension;
};

// The Basic Report with ReportFormat "1" is made from the tester's summary
// download, so it is captured as format 3.
FormatChoice choose_format(float answer, std::string_view report_format);

}  // namespace pat
