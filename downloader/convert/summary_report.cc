#include "downloader/convert/summary_report.h"

#include "downloader/convert/certificate_parser.h"
#include "downloader/convert/writers.h"
#include "downloader/files/line_reader.h"

namespace pat {
namespace {

constexpr int capture_file = copy_file;
constexpr int output_file = converted_file;

// What the line loop found: the lines written, and whether the download
// held lines of a certificate download (one taken for a summary by
// mistake), whose report would lose most of it.
struct ReportLines {
  long written = 0;
  bool certificate = false;
};

// Every third line from the fourth.
ReportLines copy_report_lines(Console& c, FileTable& f) {
  Text line;
  // The first line is dropped without an end test: a capture that starts
  // with a byte 26 ends here with error 62.
  f.line_input_file(capture_file, line);
  ReportLines lines;
  lines.certificate = certificate_block_line(line);
  int counter = 0;
  LineReader capture(f, capture_file);
  while (!capture.at_end()) {
    c.check_end_request();
    const std::string_view taken = capture.next(line);
    if (!lines.certificate) lines.certificate = certificate_block_line(taken);
    ++counter;
    if (counter > 2) {
      f.print_to_file(output_file, taken, true);
      counter = 0;
      ++lines.written;
    }
  }
  return lines;
}

}  // namespace

ConversionResult build_summary_report(Console& c, FileTable& f, const SummaryReportOrder& order,
                                      Text& download_at) {
  const Text& name = order.file_name;

  c.clear_screen();
  const Text temp =
      move_to_copy(f, name, summary_copy_extension, order.temporary_agreed, download_at);
  copy_header_file("header.txt", f, output_file);
  f.print_to_file(output_file,
                  "Appliance ID     Date      Site             Location         User         Result",
                  true);
  f.print_to_file(output_file,
                  "------------     ----      ----             --------         ----         ------",
                  true);

  const ReportLines lines = copy_report_lines(c, f);
  const ConversionResult made{
      temp, !converted_whole(f, capture_file, lines.written) || lines.certificate};
  close_conversion(f, made, download_at);
  return made;
}

}  // namespace pat
