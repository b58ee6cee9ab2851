#include "downloader/convert/certificate_parser.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

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

// Column of the rule's label in the line, 0 when absent: the search of one
// rule alone, for labels too short for the index.
long find_label(const CertificateLabelRule& rule, std::string_view line) {
  long p = string_instr(line, rule.label);
  if (rule.skip_after_s) {
    // The tail of "SLKGE  " is no leakage label.
    while (p > 1 && line[static_cast<std::size_t>(p - 2)] == 'S') {
      p = string_instr(p + 1, line, rule.label);
    }
  }
  return p;
}

// A set of rules, one bit per place in the table.
using RuleSet = std::uint32_t;
constexpr std::size_t most_rules = 32;
using LabelColumns = std::array<long, most_rules>;

// Finds the labels of many rules in one pass over a line: every position's
// next four bytes are looked up in a small hash table of the labels' first
// four bytes, and only a hit is compared in full. A line that an action has
// changed is searched again for the rules after it.
class LabelIndex {
 public:
  explicit LabelIndex(const std::vector<CertificateLabelRule>& rules) : rules_(rules) {
    if (rules.size() > most_rules) throw std::logic_error("too many certificate label rules");
    all_ = rules.size() == most_rules ? ~RuleSet{0} : (RuleSet{1} << rules.size()) - 1;
    for (std::size_t r = 0; r < rules.size(); ++r) {
      const std::string_view label = rules[r].label;
      shortest_label_ = std::min(shortest_label_, label.size());
      if (label.size() < key_bytes) {
        short_labels_ |= RuleSet{1} << r;
        continue;
      }
      const std::uint32_t key = key_at(label.data());
      std::size_t slot = slot_of(key);
      for (;; slot = (slot + 1) % slots_.size()) {
        if (slots_[slot] == 0) {
          groups_.push_back(Group{key, 0});
          slots_[slot] = static_cast<std::uint8_t>(groups_.size());
        }
        Group& group = groups_[slots_[slot] - 1u];
        if (group.key == key) {
          group.rules |= RuleSet{1} << r;
          break;
        }
      }
    }
  }

  const std::vector<CertificateLabelRule>& rules() const { return rules_; }
  RuleSet all() const { return all_; }
  std::size_t shortest_label() const { return shortest_label_; }

  // The rules of `wanted` whose labels the line holds; `columns` receives
  // the first column of each of their labels (and of no other rule).
  RuleSet find(std::string_view line, RuleSet wanted, LabelColumns& columns) const {
    RuleSet found = 0;
    for (RuleSet left = wanted & short_labels_; left != 0; left &= left - 1) {
      const int r = std::countr_zero(left);
      const long p = find_label(rules_[static_cast<std::size_t>(r)], line);
      columns[static_cast<std::size_t>(r)] = p;
      if (p != 0) found |= RuleSet{1} << r;
    }
    RuleSet missing = wanted & ~short_labels_;
    if (line.size() < key_bytes || missing == 0) return found;
    const std::size_t starts = line.size() - key_bytes + 1;
    std::size_t i = 0;
    // Four positions at a time: most begin no label at all.
    for (; i + 4 <= starts; i += 4) {
      const char* const at = line.data() + i;
      if ((slots_[slot_of(key_at(at))] | slots_[slot_of(key_at(at + 1))] |
           slots_[slot_of(key_at(at + 2))] | slots_[slot_of(key_at(at + 3))]) == 0)
        continue;
      for (std::size_t k = i; k < i + 4; ++k) {
        if (slots_[slot_of(key_at(line.data() + k))] != 0) look_at(line, k, missing, found, columns);
      }
      if (missing == 0) return found;
    }
    for (; i < starts && missing != 0; ++i) {
      if (slots_[slot_of(key_at(line.data() + i))] != 0) look_at(line, i, missing, found, columns);
    }
    return found;
  }

 private:
  static constexpr std::size_t key_bytes = 4;

  struct Group {
    std::uint32_t key = 0;  // the first four bytes of the labels
    RuleSet rules = 0;      // the rules whose labels begin with them
  };

  static std::uint32_t key_at(const char* bytes) {
    std::uint32_t key;
    std::memcpy(&key, bytes, sizeof key);
    return key;
  }
  std::size_t slot_of(std::uint32_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B1u) >> 20) % slots_.size();
  }

  // Takes the labels of the `missing` rules that begin at position i.
  void look_at(std::string_view line, std::size_t i, RuleSet& missing, RuleSet& found,
               LabelColumns& columns) const {
    const std::uint32_t key = key_at(line.data() + i);
    for (std::size_t slot = slot_of(key); slots_[slot] != 0; slot = (slot + 1) % slots_.size()) {
      const Group& group = groups_[slots_[slot] - 1u];
      if (group.key != key) continue;
      for (RuleSet candidates = group.rules & missing; candidates != 0;
           candidates &= candidates - 1) {
        const int r = std::countr_zero(candidates);
        if (!label_stands_at(rules_[static_cast<std::size_t>(r)], line, i)) continue;
        columns[static_cast<std::size_t>(r)] = static_cast<long>(i) + 1;
        found |= RuleSet{1} << r;
        missing &= ~(RuleSet{1} << r);
      }
      return;
    }
  }

  static bool label_stands_at(const CertificateLabelRule& rule, std::string_view line,
                              std::size_t i) {
    // The first key_bytes bytes have matched already.
    const std::string_view label = rule.label;
    if (line.size() - i < label.size()) return false;
    for (std::size_t k = key_bytes; k < label.size(); ++k) {
      if (line[i + k] != label[k]) return false;
    }
    // The tail of "SLKGE  " is no leakage label.
    return !rule.skip_after_s || i == 0 || line[i - 1] != 'S';
  }

  const std::vector<CertificateLabelRule>& rules_;
  // 0: empty; else a place in groups_, from 1. Mostly empty, so that a
  // position that begins no label seldom meets a filled slot.
  std::array<std::uint8_t, 4096> slots_{};
  std::vector<Group> groups_;
  RuleSet short_labels_ = 0;
  RuleSet all_ = 0;
  std::size_t shortest_label_ = std::string_view::npos;
};

// The comment's further lines stand under its first one, from the label's
// column on; they are taken whatever they hold.
void read_comment_lines(long p, long width, Text& line, FileTable& files, int input_number,
                        CertificateRecord& record) {
  for (int slot = 27; slot <= 29; ++slot) {
    files.line_input_file(input_number, line);
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

// A line long enough to hold a label and no separator: the rules run.
[[gnu::noinline]] bool run_label_rules(const LabelIndex& index, Text& line, FileTable& files,
                                       int input_number, CertificateRecord& record) {
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
        put_character(line, p + 1, ' ');
        line_changed = true;
        break;
      case Action::date_dashes:
        // By position, whatever the separators were; a short date keeps its length.
        put_character(record[rule.takes.front().slot], 3, '-');
        put_character(record[rule.takes.front().slot], 6, '-');
        break;
      case Action::comment_block:
        read_comment_lines(p, rule.window_width, line, files, input_number, record);
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

}  // namespace

namespace {

// Built with the program, so that no line pays for a first-use test.
const LabelIndex index(certificate_label_rules());

}  // namespace

bool parse_certificate_line(Text& line, FileTable& files, int input_number,
                            CertificateRecord& record) {
  // Too short for any label (an empty line, say): nothing to do.
  if (line.size() < index.shortest_label()) return false;
  // Separator lines of equals signs.
  if (line.size() >= 3 && line[1] == '=' && line[2] == '=') return false;
  return run_label_rules(index, line, files, input_number, record);
}

}  // namespace pat
