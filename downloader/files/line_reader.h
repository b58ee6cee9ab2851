#pragma once

#include <string_view>

#include "downloader/files/file_table.h"
#include "downloader/files/line_split.h"
#include "downloader/text/text.h"

// Reads the lines of one input file for a loop that takes them all, as
// end_of_file and line_input_file would: a line that the read buffer holds
// whole comes as a view without a call into the table; any other line, and
// every error, goes through the table itself. The file stays open while the
// reader is used.

namespace pat {

class LineReader {
 public:
  LineReader(FileTable& files, int number) : files_(files), number_(number) {
    OpenFile* f = files.entry(number);
    if (f != nullptr && f->can_read && f->mode == mode_input) lines_ = f;
  }

  // As files.end_of_file(number).
  bool at_end() {
    if (lines_ != nullptr) {
      if (lines_->at_end) return true;
      if (lines_->read_pos < lines_->read_buf.size()) return false;
    }
    return files_.end_of_file(number_);
  }

  // The next line: a view into the read buffer, or into `copy`, which then
  // holds it. Good until the file is read again.
  std::string_view next(Text& copy) {
    std::string_view line;
    if (lines_ != nullptr && take_whole_line(*lines_, line)) return line;
    files_.line_input_file(number_, copy);
    return copy;
  }

 private:
  FileTable& files_;
  int number_;
  OpenFile* lines_ = nullptr;  // the open file, when it reads lines
};

}  // namespace pat
