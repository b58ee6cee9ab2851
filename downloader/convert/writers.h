#pragma once

#include <ctime>
#include <functional>
#include <string_view>

#include "downloader/convert/certificate_record.h"
#include "downloader/convert/writer.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"

// The writers of the converted formats: each builds its text from a
// complete record; the conversion driver writes it. A row is put in `row`
// in place of what it held, so that one buffer serves every row.

namespace pat {

// CSV file (format 5).
extern const std::string_view csv_title_text;  // the 268-byte title line
void csv_title_line(FileTable& files, int number);
void csv_row(const CertificateRecord& record, Text& row);

// Lorvane data file (format 6).
void pat_row(const CertificateRecord& record, Text& row);
Text date_string(const std::tm& now);  // month-day-year
Text time_string(const std::tm& now);
Text os_name_string();
// The local date and time; false when the platform cannot give them.
using LocalTime = std::function<bool(std::tm&)>;
// What the trailer tells of the run besides the file's name and the time.
struct TrailerTexts {
  Text version_text;
  Text version_date;
  float baud_choice = 0;  // the baud-rate menu's answer
};
// Raises 5 when local_time gives nothing.
void pat_trailer(const TrailerTexts& texts, std::string_view file_name, CertificateRecord& record,
                 FileTable& files, int number, const LocalTime& local_time);

// Basic Report (format 7) and Wide Report (format 8); another writer gets
// no heading and empty rows.
void copy_header_file(std::string_view name, FileTable& files, int output_number);
void report_heading(Writer report, std::string_view report_format, FileTable& files,
                    int output_number);
void report_row(const CertificateRecord& record, Writer report, std::string_view report_format,
                std::string_view row_end, Text& row);
// The slots that a report's rows show.
SlotSet report_slots(Writer report, std::string_view report_format);

}  // namespace pat
