#include "downloader/convert/certificate_parser.h"

#include <bit>

#include "downloader/convert/label_index.h"
#include "downloader/files/line_reader.h"

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

std::string_view trimmed(std::string_view value, Trim trim) {
  switch (trim) {
    case Trim::none:
      return value;
    case Trim::right:
      return string_rtrim_view(value);
    case Trim::left:
      return string_ltrim_view(value);
    case Trim::both:
      return string_ltrim_view(string_rtrim_view(value));
  }
  return value;
}

// One character replaced in place; a column beyond the end changes nothing.
void put_character(Text& text, long column, char c) {
  if (column >= 1 && column <= static_cast<long>(text.size()))
    text[static_cast<std::size_t>(column - 1)] = c;
}

// The comment's further lines stand under its first one, from the label's
// column on; they are taken whatever they hold. The line read last is left
// in `line`.
void read_comment_lines(long p, long width, std::string_view& line, Text& changed,
                        FileTable& files, int input_number, CertificateRecord& record,
                        SlotSet fill) {
  LineReader comments(files, input_number);
  for (int slot = 27; slot <= 29; ++slot) {
    line = comments.next(changed);
    if (holds_slot(fill, slot))
      string_store(record[slot], trimmed(string_mid_view(line, p, width), Trim::both));
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

namespace {

// A line long enough to hold a label and no separator: the rules run. A
// rule that changes the line works on its copy in `changed`.
[[gnu::noinline]] bool run_label_rules(const LabelIndex& index, std::string_view line,
                                       Text& changed, FileTable& files, int input_number,
                                       CertificateRecord& record, SlotSet fill) {
  const std::vector<CertificateLabelRule>& rules = index.rules();
  LabelColumns columns;
  RuleSet found = index.find(line, index.all(), columns);

  bool complete = false;
  while (found != 0) {
    const int r = std::countr_zero(found);
    found &= found - 1;
    const CertificateLabelRule& rule = rules[static_cast<std::size_t>(r)];
    const long p = columns[static_cast<std::size_t>(r)];
    std::string_view window;
    if (rule.window_width > 0) window = string_mid_view(line, p, rule.window_width);

    for (const SlotTake& take : rule.takes) {
      if (!holds_slot(fill, take.slot)) continue;
      const std::string_view source = take.source == Source::window ? window : line;
      const std::string_view cut = take.from_end ? string_right_view(source, take.length)
                                                 : string_mid_view(source, take.start, take.length);
      string_store(record[take.slot], trimmed(cut, take.trim));
    }

    bool line_changed = false;
    switch (rule.action) {
      case Action::none:
        break;
      case Action::blank_second_character:
        if (line.data() != changed.data()) string_store(changed, line);
        put_character(changed, p + 1, ' ');
        line = changed;
        line_changed = true;
        break;
      case Action::date_dashes:
        // By position, whatever the separators were; a short date keeps its length.
        put_character(record[rule.takes.front().slot], 3, '-');
        put_character(record[rule.takes.front().slot], 6, '-');
        break;
      case Action::comment_block:
        read_comment_lines(p, rule.window_width, line, changed, files, input_number, record,
                           fill);
        line_changed = true;
        break;
      case Action::mark_complete:
        complete = true;
        break;
    }
    // The later rules look for their labels in the line as it now stands.
    if (line_changed) found = index.find(line, index.all() & ~((RuleSet{2} << r) - 1), columns);
  }
  return complete;
}

// Built with the program, so that no line pays for a first-use test.
const LabelIndex index(certificate_label_rules());

}  // namespace

bool parse_certificate_line(std::string_view line, Text& changed, FileTable& files,
                            int input_number, CertificateRecord& record, SlotSet fill) {
  // Too short for any label (an empty line, say): nothing to do.
  if (line.size() < index.shortest_label()) return false;
  // Separator lines of equals signs.
  if (line.size() >= 3 && line[1] == '=' && line[2] == '=') return false;
  return run_label_rules(index, line, changed, files, input_number, record, fill);
}

bool parse_certificate_line(Text& line, FileTable& files, int input_number,
                            CertificateRecord& record) {
  return parse_certificate_line(std::string_view(line), line, files, input_number, record);
}

}  // namespace pat
