#include "downloader/convert/summary_report.h"

#include "downloader/convert/convert_capture.h"
#include "downloader/convert/writers.h"
#include "downloader/formats.h"
#include "downloader/files/line_reader.h"

namespace pat {
namespace {

constexpr int capture_file = 1;
constexpr int output_file = 2;

// Every third line from the fourth; the number of lines written.
long copy_report_lines(Program& p) {
  FileTable& f = p.files;
  Text line;
  // The first line is dropped without an end test: a capture that starts
  // with a byte 26 ends here with error 62.
  f.line_input_file(capture_file, line);
  long written = 0;
  int counter = 0;
  LineReader capture(f, capture_file);
  while (!capture.at_end()) {
    p.console.check_end_request();
    const std::string_view taken = capture.next(line);
    ++counter;
    if (counter > 2) {
      f.print_to_file(output_file, taken, true);
      counter = 0;
      ++written;
    }
  }
  return written;
}

}  // namespace

Text build_summary_report(Program& p) {
  if (!p.settings.summary_report) return {};
  FileTable& f = p.files;
  const Text& name = p.settings.file_name;

  p.console.clear_screen();
  const Text temp = temporary_name(name, summary_copy_extension);
  remove_leftover(f, temp);
  rename_file(name, temp);
  f.open_file(temp, mode_input, capture_file);
  f.open_file(name, mode_output, output_file);
  copy_header_file("header.txt", f, output_file);
  f.print_to_file(output_file,
                  "Appliance ID     Date      Site             Location         User         Result",
                  true);
  f.print_to_file(output_file,
                  "------------     ----      ----             --------         ----         ------",
                  true);

  const long written = copy_report_lines(p);
  const bool keep = !converted_whole(f, capture_file, written);
  f.close_file(capture_file);
  f.close_file(output_file);
  if (keep) return temp;
  kill_files(temp);
  return {};
}

}  // namespace pat
