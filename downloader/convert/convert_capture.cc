#include "downloader/convert/convert_capture.h"

#include <filesystem>
#include <system_error>

#include "downloader/convert/certificate_parser.h"
#include "downloader/convert/writers.h"
#include "downloader/files/system_name.h"
#include "downloader/run_frame.h"

namespace pat {
namespace {

constexpr int capture_file = 1;
constexpr int output_file = 2;
constexpr int probe_file = 4;

// The record loop: one row for each record completed; the number of rows.
long write_rows(Program& p, CertificateRecord& record, const Text& row_end) {
  FileTable& f = p.files;
  const RunSettings& s = p.settings;
  const float format = s.output_format;
  long rows = 0;
  Text line;
  Text row;
  while (!f.end_of_file(capture_file)) {
    p.console.check_end_request();
    line.clear();
    row.clear();
    f.line_input_file(capture_file, line);
    if (parse_certificate_line(line, f, capture_file, record)) {
      if (format == 5) row = csv_row(record);
      if (format == 6) row = pat_row(record);
      if (format == 7 || format == 8) row = report_row(record, format, s.report_format, row_end);
      f.print_to_file(output_file, row, false);
      record.clear();
      ++rows;
    }
  }
  return rows;
}

// The reader stops only at a byte 26, which it never takes; whatever lies
// behind it was never converted. A single unread byte is therefore a 26 at
// the very end: the end mark a tester may close with, which holds nothing.
// A size that cannot be had counts as unread.
bool read_to_last_byte(const FileTable& files, int number, std::string_view name) {
  const OpenFile* reader = files.entry(number);
  if (reader == nullptr) return false;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(system_name(name), error);
  if (error) return false;
  return reader->position + 1 >= size;
}

}  // namespace

Text temporary_name(std::string_view file_name, std::string_view extension) {
  return string_left(file_name, string_instr(file_name, ".")) + Text(extension);
}

void remove_leftover(FileTable& files, std::string_view name) {
  files.open_file(name, mode_random, probe_file);
  files.close_file(probe_file);
  kill_files(name);
}

bool converted_whole(const FileTable& files, int number, std::string_view name, long records) {
  return records > 0 && read_to_last_byte(files, number, name);
}

Text kept_download_line(std::string_view temp) {
  return " The download is kept in '" + Text(temp) + "'";
}

void convert_capture(Program& p) {
  Console& c = p.console;
  FileTable& f = p.files;
  const RunSettings& s = p.settings;
  const float format = s.output_format;

  c.clear_screen();
  c.print_line("Converting file format");
  const Text temp = temporary_name(s.file_name, "tmp");
  remove_leftover(f, temp);
  rename_file(s.file_name, temp);
  f.open_file(temp, mode_input, capture_file);
  f.open_file(s.file_name, mode_output, output_file);

  if (format == 5) csv_title_line(f, output_file);
  if (format == 7 || format == 8) report_heading(format, s.report_format, f, output_file);
  Text row_end;
  if (format == 5) row_end = "\n";
  if (format == 7 || format == 8) row_end = "\r\n";

  CertificateRecord record;
  const long rows = write_rows(p, record, row_end);
  // Without a record, or cut short by a byte 26, the converted file does not
  // hold the download: it stays under the temporary name.
  const bool keep = !converted_whole(f, capture_file, temp, rows);
  if (format == 6) pat_trailer(s, record, f, output_file, p.local_time);

  c.clear_screen();
  c.print_empty_line();
  c.print_line(" Finished");
  c.print_empty_line();
  if (format == 5) c.print_text(" CSV File '");
  if (format == 6) c.print_text(" Lorvane Data File '");
  if (format == 7 || format == 8) c.print_text(" File '");
  c.print_line(s.file_name + "' created");
  if (keep) c.print_line(kept_download_line(temp));
  if (format == 8) {
    c.print_line("If you are printing the file it must be printed in 'landscape' format");
  }
  c.print_empty_line();
  c.print_line(finished_credits_line);
  c.print_empty_line();
  c.print_empty_line();

  f.close_file(capture_file);
  f.close_file(output_file);
  if (!keep) kill_files(temp);
  end_statement(p);
}

}  // namespace pat
