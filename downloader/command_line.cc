#include "downloader/command_line.h"

namespace pat {

Text command_line(int argc, const char* const* argv) {
  Text text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

Outcome check_command_line(Program& p) {
  if (string_equal(p.command_line, "/v")) return Outcome::version_lines;
  if (string_equal(p.command_line, "/?")) {
    show_help_screen(p);
    return Outcome::end_run;
  }
  return Outcome::go_on;
}

void show_help_screen(Program& p) {
  static constexpr const char* rows[] = {
      "This program is designed to download data from a Seaward Supernova/ Supernova Plus PA Tester.",
      "To download the data you need Seaward Supernova PAT Tester, RS-232 cable (null-modem type)",
      "A PC with either a RS-232 port OR a USB to RS-232 converter",
      "",
      "You need to know what comm port the RS-232 lead or USB to RS-232 adaptor is on",
      "You need to know what format you want to download. The following formats are available:-",
      " 1 - PATS+",
      " 2 - Certificate",
      " 3 - Summary",
      " 4 - SSS",
      " 5 - CSV File",
      " 6 - Output to Lorvane",
      " 7 - Basic Report",
      "",
      "PATS+ is for importing into older PAT software",
      "Certificate prints Seaward certificates for items that have been tested",
      "Summary is a basic list of items tested and the results",
      "SSS is a Seaward format file for importing into the Seaward software",
      "CSV will allow you to import directly into an Excel spreadsheet",
      "Lorvane is a software package currently under development. More details to come",
      "Basic report gives a list of items and pass or fail info. The header can be configured in the file",
      "'HEADER.TXT'",
  };
  p.console.clear_screen();
  for (const char* row : rows) p.console.print_line(row);
}

}  // namespace pat
