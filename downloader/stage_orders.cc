#include "downloader/stage_orders.h"

#include "downloader/formats.h"

namespace pat {

CaptureOrder capture_order(const RunSettings& s) {
  const OutputFormat& format = find_format(s.output_format);
  return {
      .port_text = s.port_text,
      .open_text = "COM" + s.port_text + ":" + s.baud_text + ",N,8,1,BIN,CS0,DS0",
      .file_name = s.file_name,
      .byte_rule = format.capture_rule,
      .converted_later = format.writer != Writer::none || s.summary_report,
      .output_agreed = s.output_agreed,
  };
}

ConversionOrder conversion_order(const RunSettings& s) {
  return {
      .file_name = s.file_name,
      .writer = find_format(s.output_format).writer,
      .report_format = s.report_format,
      .trailer = {s.version_text, s.version_date, s.baud_choice},
      .temporary_agreed = s.temporary_agreed,
  };
}

SummaryReportOrder summary_report_order(const RunSettings& s) {
  return {.file_name = s.file_name, .temporary_agreed = s.temporary_agreed};
}

}  // namespace pat
