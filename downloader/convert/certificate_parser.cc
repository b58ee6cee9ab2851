#include "downloader/convert/certificate_parser.h"

#include <bit>

#include "downloader/convert/label_index.h"
#include "downloader/files/line_reader.h"

namespace pat {

namespace {

using Source = SlotTake::Source;
using Trim = SlotTake::Trim;
using Action = CertificateLabelRule::Action;

[[gnu::always_inline]] inline std::string_view trimmed(std::string_view value, Trim trim) {
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

// The window of a rule whose label stands at column p.
std::string_view window_of(const CertificateLabelRule& rule, long p, std::string_view line) {
  return rule.window_width > 0 ? string_mid_view(line, p, rule.window_width) : std::string_view();
}

// What a take fills its slot with.
[[gnu::always_inline]] inline std::string_view take_value(const SlotTake& take,
                                                          std::string_view window,
                                                          std::string_view line) {
  const std::string_view source = take.source == Source::window ? window : line;
  const std::string_view cut = take.from_end ? string_right_view(source, take.length)
                                             : string_mid_view(source, take.start, take.length);
  return trimmed(cut, take.trim);
}

// One character replaced in place; a column beyond the end changes nothing.
void put_character(Text& text, long column, char c) {
  if (column >= 1 && column <= static_cast<long>(text.size()))
    text[static_cast<std::size_t>(column - 1)] = c;
}

// What the rules work with besides the line and the record: where comment
// lines come from, the slots to fill, and the copy of a changed line.
struct LineContext {
  FileTable& files;
  int input_number;
  SlotSet fill;
  Text& changed;
};

// The comment's further lines stand under its first one, from the label's
// column on; they are taken whatever they hold. The line read last is left
// in `line`.
void read_comment_lines(long p, long width, std::string_view& line, const LineContext& context,
                        CertificateRecord& record) {
  LineReader comments(context.files, context.input_number);
  for (int slot = 27; slot <= 29; ++slot) {
    line = comments.next(context.changed);
    if (holds_slot(context.fill, slot))
      string_store(record[slot], trimmed(string_mid_view(line, p, width), Trim::both));
  }
}

// Lines too short for any label (an empty line, say) and separator lines
// of equals signs hold nothing.
bool holds_nothing(std::string_view line, const LabelIndex& index) {
  return line.size() < index.shortest_label() ||
         (line.size() >= 3 && line[1] == '=' && line[2] == '=');
}

// The rules of the labels `found` at their `columns`, in the table's order.
// A rule that changes the line works on its copy in context.changed. Inline
// in its callers: a line's work is small enough for a call to count.
[[gnu::always_inline]] inline bool run_label_rules(const LabelIndex& index, RuleSet found,
                                                   LabelColumns& columns, std::string_view line,
                                                   const LineContext& context,
                                                   CertificateRecord& record) {
  const std::vector<CertificateLabelRule>& rules = index.rules();
  Text& changed = context.changed;
  bool complete = false;
  while (found != 0) {
    const int r = std::countr_zero(found);
    found &= found - 1;
    const CertificateLabelRule& rule = rules[static_cast<std::size_t>(r)];
    const long p = columns[static_cast<std::size_t>(r)];
    const std::string_view window = window_of(rule, p, line);
    for (const SlotTake& take : rule.takes) {
      if (holds_slot(context.fill, take.slot))
        string_store(record[take.slot], take_value(take, window, line));
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
        read_comment_lines(p, rule.window_width, line, context, record);
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

// The rules that fill a slot of `fill` or act: the others do nothing.
RuleSet active_rules(const LabelIndex& index, SlotSet fill) {
  RuleSet active = 0;
  const std::vector<CertificateLabelRule>& rules = index.rules();
  for (std::size_t r = 0; r < rules.size(); ++r) {
    bool fills = false;
    for (const SlotTake& take : rules[r].takes) fills = fills || holds_slot(fill, take.slot);
    if (fills || rules[r].action != Action::none) active |= RuleSet{1} << r;
  }
  return active;
}

// Built with the program, so that no line pays for a first-use test.
const LabelIndex index(certificate_label_rules());

// The labels of a line that the rules read; none in the lines that hold
// nothing.
RuleSet labels_in(std::string_view line, LabelColumns& columns) {
  return holds_nothing(line, index) ? 0 : index.find(line, index.all(), columns);
}

// The rules of the lines that open and close a block: the one that takes the
// appliance's ID, and the one that completes the record.
RuleSet block_line_rules() {
  RuleSet marks = 0;
  const std::vector<CertificateLabelRule>& rules = index.rules();
  for (std::size_t r = 0; r < rules.size(); ++r) {
    bool takes_id = false;
    for (const SlotTake& take : rules[r].takes) takes_id = takes_id || take.slot == 1;
    if (takes_id || rules[r].action == Action::mark_complete) marks |= RuleSet{1} << r;
  }
  return marks;
}

}  // namespace

bool certificate_block_line(std::string_view line) {
  static const RuleSet marks = block_line_rules();
  LabelColumns columns;
  return (labels_in(line, columns) & marks) != 0;
}

CertificateParser::CertificateParser(FileTable& files, int input_number, SlotSet fill)
    : shortest_label_(index.shortest_label()),
      active_(active_rules(index, fill)),
      files_(files),
      input_number_(input_number),
      fill_(fill) {}

bool CertificateParser::parse_labels(std::string_view line, CertificateRecord& record) {
  LabelColumns columns;
  const RuleSet found = labels_in(line, columns);
  if (found == 0) return false;
  record_open_ = true;
  const RuleSet acting = found & active_;
  const bool complete = acting != 0 && run_label_rules(index, acting, columns, line,
                                                       {files_, input_number_, fill_, changed_},
                                                       record);
  if (complete) record_open_ = false;
  return complete;
}

}  // namespace pat
