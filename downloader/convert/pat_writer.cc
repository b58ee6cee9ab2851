#include <cstdio>
#include <cstring>

#include "downloader/console/number_format.h"
#include "downloader/convert/writers.h"
#include "downloader/run_error.h"

namespace pat {

namespace {

Text two_digits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

}  // namespace

void pat_row(const CertificateRecord& record, Text& row) {
  std::size_t size = 29;
  for (int slot = 1; slot <= 29; ++slot) size += record[slot].size();
  // Every value followed by its comma, in one piece.
  row.assign(size, ',');
  char* out = row.data();
  for (int slot = 1; slot <= 29; ++slot) {
    const Text& value = record[slot];
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    out += value.size() + 1;
  }
}

Text date_string(const std::tm& now) {
  char year[16];
  std::snprintf(year, sizeof year, "%04d", now.tm_year + 1900);
  return two_digits(now.tm_mon + 1) + "-" + two_digits(now.tm_mday) + "-" + year;
}

Text time_string(const std::tm& now) {
  return two_digits(now.tm_hour) + ":" + two_digits(now.tm_min) + ":" + two_digits(now.tm_sec);
}

Text os_name_string() { return "[WINDOWS][32BIT]"; }

void pat_trailer(const TrailerTexts& texts, std::string_view file_name, CertificateRecord& record,
                 FileTable& files, int number, const LocalTime& local_time) {
  const Text os_name = os_name_string();
  const long tag_end = string_instr(os_name, "]");
  record[8] = string_left(os_name, tag_end);
  record[9] = string_mid(os_name, tag_end + 1);

  record[1] = "EOD";
  // The date and the time are read one after the other, each on its own.
  std::tm now{};
  if (!local_time(now)) raise_error(err::illegal_function_call);
  record[2] = date_string(now);
  now = std::tm{};
  if (!local_time(now)) raise_error(err::illegal_function_call);
  record[3] = time_string(now);

  Text baud = single_to_string(texts.baud_choice);
  if (!baud.empty() && baud.front() == ' ') baud.erase(0, 1);
  record[4] = baud;
  record[5] = texts.version_text;
  record[6] = texts.version_date;
  record[7] = Text(file_name);
  record[10] = "Faldercroswyth";
  record[11] = "SuperNova";
  for (int slot = 12; slot <= 29; ++slot) record[slot].clear();

  for (int slot = 1; slot <= 29; ++slot) {
    files.print_to_file(number, string_concat(record[slot], ","), false);
  }
  files.print_to_file(number, "EOF", true);
}

}  // namespace pat
