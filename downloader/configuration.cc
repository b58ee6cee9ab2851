#include "downloader/configuration.h"

#include <string_view>

#include "downloader/files/own_file.h"

namespace pat {
namespace {

std::string_view without_end_blanks(std::string_view line) {
  const std::size_t last = line.find_last_not_of(" \t");
  return last == std::string_view::npos ? std::string_view() : line.substr(0, last + 1);
}

}  // namespace

Outcome read_configuration(Program& p) {
  Text value;
  const Text name = own_file_name("quelmarint.cfg");
  if (file_exists(name)) {
    p.files.open_file(name, mode_input, 1);
    Text line;
    while (!p.files.end_of_file(1)) {
      p.files.line_input_file(1, line);
      // The last matching line wins; its value is its last character but
      // for blanks and tabs, which editors leave behind. The key has neither,
      // so the key followed by blanks alone gives its own "t".
      if (string_equal(string_left(line, 12), "ReportFormat")) {
        value = string_right(without_end_blanks(line), 1);
      }
    }
    p.files.close_file(1);
  }
  const double number = string_val(value);
  if (number > 4) {
    p.console.clear_screen();
    p.console.print_empty_line();
    p.console.print_line(" Error in QUELMARINT.CFG file. Value for ReportFormat MUST be 1 - 4");
    return Outcome::end_run;
  }
  if (number == 0) value = Text(1, '1');
  p.settings.report_format = value;
  return Outcome::go_on;
}

}  // namespace pat
