#pragma once

#include <string_view>
#include <vector>

#include "downloader/convert/certificate_record.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

// Turns the lines of a certificate download into CertificateRecords by a
// table of label rules.

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

// Parses one line; a comment block reads three more lines of `input` (file
// number `input_number`). A rule that changes the line changes a copy of it
// in `changed`, which the line may view already. Only the slots of `fill`
// are filled: a writer that reads a few needs no more. True when the record
// is complete.
bool parse_certificate_line(std::string_view line, Text& changed, FileTable& files,
                            int input_number, CertificateRecord& record,
                            SlotSet fill = every_slot);
// The same for a line held in a text of its own, which serves as `changed`.
bool parse_certificate_line(Text& line, FileTable& files, int input_number,
                            CertificateRecord& record);

}  // namespace pat
