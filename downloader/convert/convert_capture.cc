#include "downloader/convert/convert_capture.h"

#include "downloader/convert/certificate_parser.h"
#include "downloader/files/line_reader.h"

namespace pat {
namespace {

constexpr int capture_file = copy_file;
constexpr int output_file = converted_file;

// The slots that the writer's rows show: the parser fills no others.
SlotSet slots_written(Writer writer, std::string_view report_format) {
  if (writer == Writer::csv || writer == Writer::lorvane) return field_slots;
  return report_slots(writer, report_format);
}

// What the record loop did: the rows written, and whether the download
// ended inside a record that no signature line completed.
struct RowsWritten {
  long rows = 0;
  bool record_open = false;
};

// The record loop: one row for each record completed.
RowsWritten write_rows(Console& c, FileTable& f, const ConversionOrder& order,
                       CertificateRecord& record, const Text& row_end) {
  const Writer writer = order.writer;
  long rows = 0;
  LineReader capture(f, capture_file);
  CertificateParser parser(f, capture_file, slots_written(writer, order.report_format));
  Text copied;  // a line the reader had to copy
  Text row;     // one buffer for every row
  while (!capture.at_end()) {
    c.check_end_request();
    const std::string_view line = capture.next(copied);
    if (parser.parse(line, record)) {
      if (writer == Writer::csv) csv_row(record, row);
      if (writer == Writer::lorvane) pat_row(record, row);
      if (writes_report(writer)) report_row(record, writer, order.report_format, row_end, row);
      f.print_to_file(output_file, row, false);
      record.clear();
      ++rows;
    }
  }
  return {rows, parser.record_open()};
}

}  // namespace

ConversionResult convert_capture(Console& c, FileTable& f, const LocalTime& local_time,
                                 const ConversionOrder& order, Text& download_at) {
  const Writer writer = order.writer;
  const Text& name = order.file_name;

  c.clear_screen();
  c.print_line("Converting file format");
  const Text temp =
      move_to_copy(f, name, conversion_copy_extension, order.temporary_agreed, download_at);

  if (writer == Writer::csv) csv_title_line(f, output_file);
  if (writes_report(writer)) report_heading(writer, order.report_format, f, output_file);
  Text row_end;
  if (writer == Writer::csv) row_end = "\n";
  if (writes_report(writer)) row_end = "\r\n";

  CertificateRecord record;
  const RowsWritten written = write_rows(c, f, order, record, row_end);
  // Without a record, cut short by a byte 26, or ending inside a record, the
  // converted file does not hold the download: it stays under the temporary
  // name.
  const bool keep = !converted_whole(f, capture_file, written.rows) || written.record_open;
  if (writer == Writer::lorvane)
    pat_trailer(order.trailer, name, record, f, output_file, local_time);

  // On the medium before the finishing lines call it created and before its
  // only other copy goes. The finishing lines come next, while both files
  // are still open; close_conversion follows them.
  f.sync_file(output_file);
  c.clear_screen();
  return {temp, keep};
}

}  // namespace pat
