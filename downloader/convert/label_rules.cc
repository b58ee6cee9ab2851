#include "downloader/convert/label_rules.h"

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

}  // namespace pat
