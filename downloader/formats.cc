#include "downloader/formats.h"

#include <iterator>

#include "downloader/convert/capture_copy.h"

namespace pat {
namespace {

constexpr OutputFormat formats[] = {
    {1, "txt", "PATS+", "SEND USER", ByteRule::pats_plus, Writer::none, " File '", ""},
    {2, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::none, " File '", ""},
    {3, "txt", "SUMMARY", "", ByteRule::summary, Writer::none, " File '", ""},
    {4, "txt", "SSS", "", ByteRule::as_sent, Writer::none, " File '", ""},
    {5, "csv", "CERTIFICATE", "", ByteRule::as_sent, Writer::csv, " CSV File '", ""},
    {6, "pat", "CERTIFICATE", "", ByteRule::as_sent, Writer::lorvane, " Lorvane Data File '",
     ""},
    {7, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::basic_report, " File '", ""},
    {8, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::wide_report, " File '",
     "If you are printing the file it must be printed in 'landscape' format"},
};

constexpr OutputFormat no_format = {0,  "txt", "", "", ByteRule::as_sent, Writer::none,
                                    " File '", ""};

constexpr int summary_format = 3;
constexpr int basic_report_format = 7;

}  // namespace

const OutputFormat& find_format(float output_format) {
  for (const OutputFormat& format : formats) {
    if (output_format == static_cast<float>(format.number)) return format;
  }
  return no_format;
}

bool format_answer_taken(float answer) {
  return answer > 0 && answer < static_cast<float>(std::size(formats) + 1);
}

FormatChoice choose_format(float answer, std::string_view report_format) {
  const OutputFormat& format = find_format(answer);
  if (format.number == basic_report_format && report_format == "1") {
    return {static_cast<float>(summary_format), true, format.extension, summary_copy_extension};
  }
  const std::string_view copy = format.writer == Writer::none ? "" : conversion_copy_extension;
  return {answer, false, format.extension, copy};
}

}  // namespace pat
