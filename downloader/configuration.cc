#include "downloader/configuration.h"

#include "downloader/files/own_file.h"

namespace pat {

Outcome read_configuration(Program& p) {
  Text value;
  const Text name = own_file_name("quelmarint.cfg");
  if (file_exists(name)) {
    p.files.open_file(name, mode_input, 1);
    Text line;
    while (!p.files.end_of_file(1)) {
      p.files.line_input_file(1, line);
      // The last matching line wins; its value is its last character.
      if (string_equal(string_left(line, 12), "ReportFormat")) value = string_right(line, 1);
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
