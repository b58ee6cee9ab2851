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
Text csv_value(const Text& value) {
  if (value.find_first_of(",\"\n") == Text::npos) return value;
  Text quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

Text csv_row(CertificateRecord& record) {
  // The title names the user before Test1.
  string_swap(record[6], record[7]);
  Text row;
  for (int slot = 1; slot <= 29; ++slot) {
    row += csv_value(record[slot]);
    row += slot < 29 ? ',' : '\n';
  }
  return row;
}

}  // namespace pat
