// The conversion of formats 5 to 8 and the summary-based report, on any
// capture: the only error is 62 (input past end), after which the temporary
// copy still holds the whole capture; a conversion of formats 5 to 8 keeps
// the copy exactly when it wrote no record, stopped at a byte 26 or ended
// inside a record, and the summary-based report when it wrote no line,
// stopped at a byte 26 or read a certificate download; the converted file holds no CR, LF or byte 26 except the
// format's own line ends.
//
// Input: a choice byte, a header byte, the header file's bytes, the capture.
//   choice bits 0-1: format 5 + n; bits 2-4: ReportFormat "", "1" .. "4"
//   (by n % 5); bit 5: the summary-based report instead.
//   header byte bit 0: header.txt, bit 1: header-wide.txt; bits 2-7: the
//   length of the header bytes that follow (both files get the same).

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "downloader/console/console.h"
#include "downloader/convert/convert_capture.h"
#include "downloader/convert/summary_report.h"
#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/line_model.h"
#include "tests/support/scripted_backend.h"

using namespace pat;
using pat::test::ScriptedBackend;

namespace {

enum class LineEnds { lf, final_crlf, crlf };

// What the labels of a certificate download make of it, written plainly:
// the records that signature lines complete, and whether a line holding a
// label came after the last of them.
struct RecordModel {
  long records = 0;
  bool open = false;
};

RecordModel model_records(std::string_view capture) {
  static const char* const labels[] = {
      "APPLIANCE", "DATE",  "SITE:",   "LOCATION:", "USER:",      "VISUAL  ",
      "INS  ",     "TLKGE  ", "EARTH  ", "LKGE  ",  "LOAD  ",     "OVERALL ST",
      "SLKGE  ",   "FLASH  ", "IEC LEAD  ", "COMMENTS:", "SIGNATURE:"};
  RecordModel model;
  int comment_lines = 0;  // still to come of a comment block
  for (const std::string& line : fuzz::split_lines(capture)) {
    const bool signed_off = line.find("SIGNATURE:") != std::string::npos;
    if (comment_lines > 0) {
      // No rule reads a comment line but the signature rule its last one.
      if (--comment_lines == 0 && signed_off) {
        ++model.records;
        model.open = false;
      }
      continue;
    }
    if (line.size() >= 3 && line[1] == '=' && line[2] == '=') continue;
    bool labelled = false;
    for (const char* label : labels) labelled = labelled || line.find(label) != std::string::npos;
    if (!labelled) continue;
    model.open = true;
    if (line.find("COMMENTS:") != std::string::npos) {
      comment_lines = 3;
    } else if (signed_off) {
      ++model.records;
      model.open = false;
    }
  }
  return model;
}

// Whether a summary download is in truth a certificate download, as the
// rules read its lines: one holds an appliance's ID or its signature, and is
// no separator line.
bool holds_certificate_lines(std::string_view capture) {
  for (const std::string& line : fuzz::split_lines(capture)) {
    if (line.size() >= 3 && line[1] == '=' && line[2] == '=') continue;
    if (line.find("APPLIANCE") != std::string::npos ||
        line.find("SIGNATURE:") != std::string::npos)
      return true;
  }
  return false;
}

// Whether the line reader takes the whole capture: it stops at a byte 26,
// and only a last one holds nothing.
bool read_whole(std::string_view capture) {
  const std::size_t mark = capture.find('\x1a');
  return mark == std::string_view::npos || mark + 1 == capture.size();
}

// Every CR, LF and byte 26 of the converted file is part of its line ends.
void check_line_ends(const std::string& out, LineEnds ends, bool finished) {
  FUZZ_CHECK(out.find('\x1a') == std::string::npos, fuzz::escaped(out));
  switch (ends) {
    case LineEnds::lf:
      FUZZ_CHECK(out.find('\r') == std::string::npos, fuzz::escaped(out));
      break;
    case LineEnds::final_crlf: {
      // Only the closing "EOF" line ends, and only once the run finished.
      const std::string tail = "EOF\r\n";
      const bool closed = out.size() >= tail.size() && out.ends_with(tail);
      FUZZ_CHECK(closed == finished, fuzz::escaped(out));
      const std::string body = closed ? out.substr(0, out.size() - 2) : out;
      FUZZ_CHECK(body.find_first_of("\r\n") == std::string::npos, fuzz::escaped(out));
      break;
    }
    case LineEnds::crlf:
      for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r') FUZZ_CHECK(i + 1 < out.size() && out[i + 1] == '\n', fuzz::escaped(out));
        if (out[i] == '\n') FUZZ_CHECK(i > 0 && out[i - 1] == '\r', fuzz::escaped(out));
      }
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::enter_scratch_folder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const int format = 5 + (data[0] & 3);
  static const char* const report_formats[] = {"", "1", "2", "3", "4"};
  const char* report_format = report_formats[((data[0] >> 2) & 7) % 5];
  const bool summary = (data[0] & 0x20) != 0;
  const std::string_view header = rest.substr(0, data[1] >> 2);
  const std::string_view capture = rest.substr(header.size());

  fuzz::clear_scratch_folder();
  if (data[1] & 1) fuzz::write_file("header.txt", header);
  if (data[1] & 2) fuzz::write_file("header-wide.txt", header);
  const std::string name = summary ? "cap.txt" : format == 5 ? "cap.csv" : format == 6 ? "cap.pat" : "cap.txt";
  const std::string temp = summary ? "cap.xtx" : "cap.tmp";
  fuzz::write_file(name, capture);

  ScriptedBackend backend;
  Console console{backend};
  FileTable files;
  static constexpr Writer writers[] = {Writer::csv, Writer::lorvane, Writer::basic_report,
                                       Writer::wide_report};
  const ConversionOrder order{.file_name = name,
                              .writer = writers[format - 5],
                              .report_format = report_format,
                              .trailer = {"0.12", "16-11-2019", 2}};
  const LocalTime local_time = [](std::tm& t) {
    t = std::tm{};
    t.tm_year = 119;
    t.tm_mon = 10;
    t.tm_mday = 18;
    return true;
  };

  int error = 0;
  ConversionResult made;
  Text download_at;
  try {
    if (summary) {
      made = build_summary_report(console, files, {.file_name = name}, download_at);
    } else {
      made = convert_capture(console, files, local_time, order, download_at);
      close_conversion(files, made, download_at);
    }
  } catch (const RunError& e) {
    error = e.number;
  }
  try {
    files.close_all();
  } catch (const RunError& e) {
    fuzz::fail("closing the files", "error " + std::to_string(e.number));
  }

  FUZZ_CHECK(error == 0 || error == err::input_past_end, "error " + std::to_string(error));
  // The download is never lost: a conversion that failed, wrote no record
  // or stopped short keeps it whole, and a finished one says so.
  const bool kept = fuzz::file_present(temp);
  FUZZ_CHECK(kept || error == 0, "an error took the temporary copy");
  if (kept) FUZZ_CHECK(fuzz::read_file(temp) == capture, "the temporary copy lost bytes");
  if (error == 0 && !summary) {
    FUZZ_CHECK(made.kept == kept, kept ? "the kept copy said to be deleted" : "a deleted copy said to be kept");
    const RecordModel model = model_records(capture);
    const bool lost = model.records == 0 || !read_whole(capture) || model.open;
    FUZZ_CHECK(kept == lost, kept ? "a wholly converted download kept" : "a download deleted that the conversion did not hold");
  }
  if (error == 0 && summary) {
    // Every third line from the fourth: no line written, a byte 26 before
    // the end, or a certificate download taken for a summary keeps it.
    const std::size_t lines = fuzz::split_lines(capture).size();
    const bool lost = lines < 4 || !read_whole(capture) || holds_certificate_lines(capture);
    FUZZ_CHECK(kept == lost, kept ? "a wholly reported download kept" : "a download deleted that the report did not hold");
  }
  const LineEnds ends = summary || format >= 7 ? LineEnds::crlf
                        : format == 5          ? LineEnds::lf
                                               : LineEnds::final_crlf;
  check_line_ends(fuzz::read_file(name), ends, error == 0);
  return 0;
}
