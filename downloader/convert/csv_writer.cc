#include <cstring>

#include "downloader/convert/writers.h"

namespace pat {

const std::string_view csv_title_text =
    "Appliance,Date,Time,Site,Location,User,Test1,Test2,Visual,Insulation Value,Result,"
    "Touch Leakage,Result,Earth Value, Result,Leakage, Result,Load, Result,Overall Result,"
    " Sub Leakage Value, Result,Flash Value, Result,IEC Lead,Comment #1,Comment #2,"
    " Comment #3,"
    "Comment #4\n";

void csv_title_line(FileTable& files, int number) {
  files.print_to_file(number, csv_title_text, false);
}

namespace {

// A value holding a separator, a quote or a line end is quoted so that it
// stays one column; any other value is written as it stands.
bool needs_quotes(const Text& value) {
  bool found = false;
  for (const char c : value) found |= (c == ',') | (c == '"') | (c == '\n');
  return found;
}

void append_quoted(Text& row, const Text& value) {
  row += '"';
  for (const char c : value) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

}  // namespace

Text csv_row(CertificateRecord& record) {
  // The title names the user before Test1.
  string_swap(record[6], record[7]);
  std::size_t size = 29;
  bool quotes = false;
  for (int slot = 1; slot <= 29; ++slot) {
    size += record[slot].size();
    quotes = quotes || needs_quotes(record[slot]);
  }
  if (!quotes) {
    // The common row: the values one after the other, in one piece.
    Text row(size, ',');
    char* out = row.data();
    for (int slot = 1; slot <= 29; ++slot) {
      const Text& value = record[slot];
      if (!value.empty()) std::memcpy(out, value.data(), value.size());
      out += value.size() + 1;
    }
    row.back() = '\n';
    return row;
  }
  Text row;
  row.reserve(size + 16);
  for (int slot = 1; slot <= 29; ++slot) {
    if (needs_quotes(record[slot])) {
      append_quoted(row, record[slot]);
    } else {
      row += record[slot];
    }
    row += slot < 29 ? ',' : '\n';
  }
  return row;
}

}  // namespace pat
