#include "downloader/tester_instructions.h"

#include "downloader/console/line_entry.h"

namespace pat {

void show_tester_instructions(Program& p) {
  Console& c = p.console;
  const float format = p.settings.output_format;

  c.clear_screen();
  c.print_line(" In the MAIN MENU of the Supernova scroll down to DOWNLOAD RESULTS and press OK.");
  c.print_line(" This will bring up the 'Download Options' menu");
  c.print_empty_line();
  c.print_line(" Make sure the following are set :");
  c.print_empty_line();
  c.print_line(" DESTINATION: PC");
  c.print_line(" OUTPUT CONNECTION: RS232");
  c.print_line(string_concat(" BAUD RATE: ", p.settings.baud_text));
  if (format == 1) {
    c.print_line(" DOWNLOAD FORMAT: PATS+");
    c.print_line(" OPTION: SEND USER");
  }
  if (format == 2) c.print_line(" DOWNLOAD FORMAT: CERTIFICATE");
  if (format == 3) c.print_line(" DOWNLOAD FORMAT: SUMMARY");
  if (format == 4) c.print_line(" DOWNLOAD FORMAT: SSS");
  if (format == 5 || format == 6 || format == 7 || format == 8) {
    c.print_line(" DOWNLOAD FORMAT: CERTIFICATE");
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
