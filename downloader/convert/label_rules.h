#pragma once

#include <string_view>
#include <vector>

// The label rules of a certificate download, as a table: where each label's
// fields stand, which slots they fill and what else the label does.

namespace pat {

struct SlotTake {
  enum class Source { window, line };
  enum class Trim { none, right, left, both };
  int slot = 0;
  Source source = Source::window;
  long start = 0;
  long length = 0;
  bool from_end = false;
  Trim trim = Trim::none;
};

struct CertificateLabelRule {
  enum class Action { none, blank_second_character, date_dashes, comment_block, mark_complete };
  std::string_view label;
  long window_width = 0;
  std::vector<SlotTake> takes;
  Action action = Action::none;
  bool skip_after_s = false;  // the leakage label inside "SLKGE  " does not count
};

const std::vector<CertificateLabelRule>& certificate_label_rules();

}  // namespace pat
