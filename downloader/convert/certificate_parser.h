#pragma once

#include <string_view>

#include "downloader/convert/certificate_record.h"
#include "downloader/convert/label_index.h"
#include "downloader/convert/label_rules.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

// Turns the lines of a certificate download into CertificateRecords by a
// table of label rules.

namespace pat {

// Whether the rules read the line as the first or the last of an
// appliance's block: the appliance's ID or its signature. A summary download
// holds no such line.
bool certificate_block_line(std::string_view line);

// The parser of one conversion, line after line. A line may view the read
// buffer: a rule that changes it changes a copy. A comment block reads
// three more lines of file `input_number`.
class CertificateParser {
 public:
  // Only the slots of `fill` are filled: a writer that shows a few needs no
  // more.
  CertificateParser(FileTable& files, int input_number, SlotSet fill = every_slot);

  // True when the line completes the record.
  bool parse(std::string_view line, CertificateRecord& record) {
    // Inline for the lines too short for any label, empty ones above all.
    return line.size() >= shortest_label_ && parse_labels(line, record);
  }

  // Whether a line since the last complete record held a label, whether or
  // not its writer shows what the label fills: a download that ends so
  // ends inside a record.
  bool record_open() const { return record_open_; }

 private:
  bool parse_labels(std::string_view line, CertificateRecord& record);

  std::size_t shortest_label_;
  // The rules that do anything: those that fill a slot of `fill` or act.
  RuleSet active_;
  FileTable& files_;
  int input_number_;
  SlotSet fill_;
  Text changed_;  // a copy of the line that a rule changes
  bool record_open_ = false;
};

}  // namespace pat
