#include "downloader/finished_lines.h"

#include "downloader/text/text.h"

namespace pat {

Text kept_download_line(std::string_view temp) {
  return " The download is kept in '" + Text(temp) + "'";
}

const char* const finished_credits_line = " Thank you for keeping your test records safe.";

void show_finished_lines(Console& c, const OutputFormat& format, std::string_view file_name,
                         std::string_view kept) {
  if (format.writer == Writer::none) {
    c.print_line(" Finished!");
    c.print_empty_line();
    c.print_line(string_concat(format.created_text, file_name) + "' created.");
    if (!kept.empty()) c.print_line(kept_download_line(kept));
    c.print_empty_line();
    c.print_line(finished_credits_line);
    c.print_empty_line();
    return;
  }
  c.print_empty_line();
  c.print_line(" Finished");
  c.print_empty_line();
  // The name and "' created" are one piece, which may start a row of its own.
  c.print_text(format.created_text);
  c.print_line(string_concat(file_name, "' created"));
  if (!kept.empty()) c.print_line(kept_download_line(kept));
  if (!format.finishing_note.empty()) c.print_line(format.finishing_note);
  c.print_empty_line();
  c.print_line(finished_credits_line);
  c.print_empty_line();
  c.print_empty_line();
}

}  // namespace pat
