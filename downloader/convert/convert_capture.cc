#include "downloader/convert/convert_capture.h"

#include "downloader/convert/capture_copy.h"
#include "downloader/convert/certificate_parser.h"
#include "downloader/convert/writers.h"
#include "downloader/files/line_reader.h"
#include "downloader/files/temporary_name.h"
#include "downloader/finished_lines.h"
#include "downloader/formats.h"

namespace pat {
namespace {

constexpr int capture_file = 1;
constexpr int output_file = 2;

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
RowsWritten write_rows(Program& p, Writer writer, CertificateRecord& record,
                       const Text& row_end) {
  FileTable& f = p.files;
  const RunSettings& s = p.settings;
  long rows = 0;
  LineReader capture(f, capture_file);
  CertificateParser parser(f, capture_file, slots_written(writer, s.report_format));
  Text copied;  // a line the reader had to copy
  Text row;     // one buffer for every row
  while (!capture.at_end()) {
    p.console.check_end_request();
    const std::string_view line = capture.next(copied);
    if (parser.parse(line, record)) {
      if (writer == Writer::csv) csv_row(record, row);
      if (writer == Writer::lorvane) pat_row(record, row);
      if (writes_report(writer)) report_row(record, writer, s.report_format, row_end, row);
      f.print_to_file(output_file, row, false);
      record.clear();
      ++rows;
    }
  }
  return {rows, parser.record_open()};
}

}  // namespace

Outcome convert_capture(Program& p) {
  Console& c = p.console;
  FileTable& f = p.files;
  RunSettings& s = p.settings;
  const OutputFormat& format = find_format(s.output_format);
  const Writer writer = format.writer;

  c.clear_screen();
  c.print_line("Converting file format");
  const Text temp = temporary_name(s.file_name, conversion_copy_extension);
  remove_leftover(f, temp, s.temporary_agreed);
  rename_file(s.file_name, temp);
  s.download_at = temp;
  f.open_file(temp, mode_input, capture_file);
  f.open_file(s.file_name, mode_output, output_file);

  if (writer == Writer::csv) csv_title_line(f, output_file);
  if (writes_report(writer)) report_heading(writer, s.report_format, f, output_file);
  Text row_end;
  if (writer == Writer::csv) row_end = "\n";
  if (writes_report(writer)) row_end = "\r\n";

  CertificateRecord record;
  const RowsWritten written = write_rows(p, writer, record, row_end);
  // Without a record, cut short by a byte 26, or ending inside a record, the
  // converted file does not hold the download: it stays under the temporary
  // name.
  const bool keep = !converted_whole(f, capture_file, written.rows) || written.record_open;
  if (writer == Writer::lorvane) pat_trailer(s, record, f, output_file, p.local_time);

  // On the medium before the lines call it created and before its only
  // other copy goes. The finishing lines stand while both files are still
  // open; the clean-up follows them.
  f.sync_file(output_file);
  c.clear_screen();
  show_finished_lines(c, format, s.file_name, keep ? Text(temp) : Text());

  f.close_file(capture_file);
  f.close_file(output_file);
  if (!keep) {
    kill_files(temp);
    s.download_at.clear();
  }
  return Outcome::end_run;
}

}  // namespace pat
