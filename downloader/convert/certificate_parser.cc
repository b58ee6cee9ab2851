#include "downloader/convert/certificate_parser.h"

namespace pat {

namespace {

using Source = SlotTake::Source;
using Trim = SlotTake::Trim;
using Action = CertificateLabelRule::Action;

// A result letter: the last character of the rule's window.
SlotTake last_of_window(int slot) {
  return SlotTake{slot, Source::window, 0, 1, true, Trim::none};
}

SlotTake window_take(int slot, long start, long length, Trim trim) {
  return SlotTake{slot, Source::window, start, length, false, trim};
}

SlotTake line_take(int slot, long start, long length, Trim trim) {
  return SlotTake{slot, Source::line, start, length, false, trim};
}

Text trimmed(const Text& value, Trim trim) {
  switch (trim) {
    case Trim::none:
      return value;
    case Trim::right:
      return string_rtrim(value);
    case Trim::left:
      return string_ltrim(value);
    case Trim::both:
      return string_ltrim(string_rtrim(value));
  }
  return value;
}

// Column of the rule's label in the line, 0 when absent.
long find_label(const CertificateLabelRule& rule, const Text& line) {
  long p = string_instr(line, rule.label);
  if (rule.skip_after_s) {
    // The tail of "SLKGE  " is no leakage label.
    while (p > 1 && line[static_cast<std::size_t>(p - 2)] == 'S') {
      p = string_instr(p + 1, line, rule.label);
    }
  }
  return p;
}

// The comment's further lines stand under its first one, from the label's
// column on; they are taken whatever they hold.
void read_comment_lines(long p, long width, Text& line, FileTable& files, int input_number,
                        CertificateRecord& record) {
  for (int slot = 27; slot <= 29; ++slot) {
    files.line_input_file(input_number, line);
    record[slot] = trimmed(string_mid(line, p, width), Trim::both);
  }
}

}  // namespace

const std::vector<CertificateLabelRule>& certificate_label_rules() {
  static const std::vector<CertificateLabelRule> rules = {
      {"APPLIANCE", 35, {window_take(1, 12, 21, Trim::right)}, Action::none},
      {"DATE",
       22,
       {window_take(2, 7, 10, Trim::right), window_take(3, 18, 5, Trim::none)},
       Action::date_dashes},
      {"SITE:", 22, {window_take(4, 7, 16, Trim::right)}, Action::none},
      {"LOCATION:",
       0,
       {line_take(5, 14, 24, Trim::right), line_take(6, 43, 10, Trim::none)},
       Action::none},
      {"USER:",
       0,
       {line_take(7, 14, 24, Trim::right), line_take(8, 43, 10, Trim::none)},
       Action::none},
      {"VISUAL  ", 0, {line_take(9, 23, 1, Trim::none)}, Action::none},
      {"INS  ", 21, {window_take(10, 10, 10, Trim::none), last_of_window(11)}, Action::none},
      {"TLKGE  ",
       21,
       {window_take(12, 10, 8, Trim::none), last_of_window(13)},
       Action::blank_second_character},
      {"EARTH  ", 21, {window_take(14, 10, 9, Trim::left), last_of_window(15)}, Action::none},
      {"LKGE  ",
       20,
       {window_take(16, 10, 8, Trim::right), last_of_window(17)},
       Action::blank_second_character,
       true},
      {"LOAD  ", 21, {window_take(18, 11, 8, Trim::none), last_of_window(19)}, Action::none},
      {"OVERALL ST", 23, {window_take(20, 18, 4, Trim::none)}, Action::none},
      {"SLKGE  ", 21, {window_take(21, 10, 11, Trim::right), last_of_window(22)}, Action::none},
      {"FLASH  ", 21, {window_take(23, 10, 11, Trim::right), last_of_window(24)}, Action::none},
      {"IEC LEAD  ", 21, {last_of_window(25)}, Action::none},
      {"COMMENTS:",
       70,
       {SlotTake{26, Source::window, 0, 60, true, Trim::right}},
       Action::comment_block},
      {"SIGNATURE:", 0, {}, Action::mark_complete},
  };
  return rules;
}

bool parse_certificate_line(Text& line, FileTable& files, int input_number,
                            CertificateRecord& record) {
  // Separator lines of equals signs.
  if (string_mid(line, 2, 2) == "==") return false;

  bool complete = false;
  for (const CertificateLabelRule& rule : certificate_label_rules()) {
    const long p = find_label(rule, line);
    if (p == 0) continue;
    Text window;
    if (rule.window_width > 0) window = string_mid(line, p, rule.window_width);

    for (const SlotTake& take : rule.takes) {
      const Text& source = take.source == Source::window ? window : line;
      const Text cut = take.from_end ? string_right(source, take.length)
                                     : string_mid(source, take.start, take.length);
      record[take.slot] = trimmed(cut, take.trim);
    }

    switch (rule.action) {
      case Action::none:
        break;
      case Action::blank_second_character:
        mid_statement(line, p + 1, " ");
        break;
      case Action::date_dashes:
        // By position, whatever the separators were; a short date keeps its length.
        mid_statement(record[rule.takes.front().slot], 3, "-");
        mid_statement(record[rule.takes.front().slot], 6, "-");
        break;
      case Action::comment_block:
        read_comment_lines(p, rule.window_width, line, files, input_number, record);
        break;
      case Action::mark_complete:
        complete = true;
        break;
    }
  }
  return complete;
}

}  // namespace pat
