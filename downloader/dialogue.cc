#include "downloader/dialogue.h"

#include <optional>
#include <string>

#include "downloader/console/line_entry.h"
#include "downloader/console/number_format.h"
#include "downloader/files/file_identity.h"
#include "downloader/files/temporary_name.h"
#include "downloader/formats.h"

namespace pat {
namespace {

float ask_number(Console& c, int row, int column, std::string_view prompt) {
  c.locate_cursor(row, column);
  c.print_to_screen(prompt, false);
  return input_statement(c, AnswerKind::answer_number, true).number;
}

void blank_run(Console& c, int row, int column, int count) {
  c.locate_cursor(row, column);
  c.print_line(std::string(count, ' '));
}

// Whether the run may replace the file `name`: it does not exist, or the
// operator answers "Y". `agreed` is then the file asked about, as it was
// when asked, so that a file put under the name later is not taken for it.
bool may_overwrite(Console& c, RunSettings& s, const Text& name,
                   std::optional<FileIdentity>& agreed) {
  agreed.reset();
  if (!file_exists(name)) return true;
  const std::optional<FileIdentity> asked = file_identity(name);
  do {
    c.print_empty_line();
    c.print_text(" The file " + name + " already exists. Do you want to overwrite it? (Y/N) ");
    c.print_to_screen("? ", false);
    s.overwrite_answer = string_ucase(input_statement(c, AnswerKind::answer_text, true).text);
  } while (!string_equal(s.overwrite_answer, "Y") && !string_equal(s.overwrite_answer, "N"));
  if (!string_equal(s.overwrite_answer, "Y")) return false;
  agreed = asked;
  return true;
}

}  // namespace

void run_dialogue(Program& p) {
  Console& c = p.console;
  RunSettings& s = p.settings;

  do {
    s.port_number = ask_number(c, 2, 2, "Enter COM port number #");
  } while (!(s.port_number > 0));
  s.port_text = string_ltrim(single_to_string(s.port_number));

  c.print_empty_line();
  c.print_line(" Select Baud Rate. Higher value for faster transfer:-");
  c.print_empty_line();
  c.print_line(" 1 - 9600");
  c.print_line(" 2 - 19200");
  c.print_line(" 3 - 28800");
  do {
    blank_run(c, 9, 2, 28);
    s.baud_choice = ask_number(c, 9, 2, "? ");
  } while (!(s.baud_choice > 0 && s.baud_choice < 4));

  for (;;) {
    if (string_equal(s.overwrite_answer, "N")) c.clear_screen();
    blank_run(c, 15, 1, 79);
    do {
      c.locate_cursor(11, 2);
      c.print_line("Enter filename for save data file. No need to add extension.");
      c.print_line(" '.txt' will be added to PATS, Certificate, Summary and Report files");
      c.print_line(" '.csv' will be added to CSV files");
      c.print_line(" '.pat' will be added to Lorvane files");
      blank_run(c, 15, 42, 26);
      c.locate_cursor(15, 2);
      c.print_to_screen("? ", false);
      s.file_name = input_statement(c, AnswerKind::answer_text, true).text;
    } while (!string_greater(s.file_name, ""));

    c.clear_screen();
    if (s.baud_choice == 1) s.baud_text = "9600";
    if (s.baud_choice == 2) s.baud_text = "19200";
    if (s.baud_choice == 3) s.baud_text = "28800";

    c.print_line(" Select your download format :-");
    c.print_empty_line();
    for (const char* item : {" 1 - PATS+", " 2 - Certificate", " 3 - Summary", " 4 - SSS",
                             " 5 - CSV File", " 6 - Output to Lorvane", " 7 - Basic Report",
                             " 8 - Wide Report"}) {
      c.print_line(item);
    }
    do {
      blank_run(c, 12, 2, 12);
      s.output_format = ask_number(c, 12, 2, "Select ");
    } while (!format_answer_taken(s.output_format));

    const long point = string_instr(s.file_name, ".");
    const FormatChoice choice = choose_format(s.output_format, s.report_format);
    s.extension = Text(choice.extension);
    s.summary_report = choice.summary_report;
    s.output_format = choice.output_format;
    if (point == 0) {
      s.file_name = s.file_name + "." + s.extension;
    } else {
      s.file_name = string_left(s.file_name, point) + s.extension;
    }

    s.temporary_agreed.reset();
    if (!may_overwrite(c, s, s.file_name, s.output_agreed)) continue;
    // The conversion deletes whatever stands under its temporary name, a
    // download kept by an earlier run among them.
    if (choice.temporary_extension.empty() ||
        may_overwrite(c, s, temporary_name(s.file_name, choice.temporary_extension),
                      s.temporary_agreed))
      return;
  }
}

}  // namespace pat
