#include "downloader/tester_instructions.h"

#include "downloader/console/line_entry.h"
#include "downloader/formats.h"

namespace pat {

void show_tester_instructions(Program& p) {
  Console& c = p.console;
  const OutputFormat& format = find_format(p.settings.output_format);

  c.clear_screen();
  c.print_line(" In the MAIN MENU of the Supernova scroll down to DOWNLOAD RESULTS and press OK.");
  c.print_line(" This will bring up the 'Download Options' menu");
  c.print_empty_line();
  c.print_line(" Make sure the following are set :");
  c.print_empty_line();
  c.print_line(" DESTINATION: PC");
  c.print_line(" OUTPUT CONNECTION: RS232");
  c.print_line(string_concat(" BAUD RATE: ", p.settings.baud_text));
  if (!format.tester_format.empty()) {
    c.print_line(string_concat(" DOWNLOAD FORMAT: ", format.tester_format));
  }
  if (!format.tester_option.empty()) {
    c.print_line(string_concat(" OPTION: ", format.tester_option));
  }
  c.print_empty_line();
  c.print_line(" Then press OK on your Supernova");
  c.print_empty_line();
  c.print_to_screen(" Press ENTER to continue", false);
  input_statement(c, AnswerKind::answer_text, true);

  c.clear_screen();
  c.print_line(" Select the dates or records that you want to export");
  c.print_line(" Once selected scroll to 'OK' but DO NOT press it yet");
  c.print_empty_line();
  c.print_to_screen(" Press ENTER on your PC then press START SEARCH on your Supernova", false);
  input_statement(c, AnswerKind::answer_text, true);
}

}  // namespace pat
