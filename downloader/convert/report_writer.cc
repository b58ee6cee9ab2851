#include <algorithm>
#include <cstring>
#include <vector>

#include "downloader/convert/writers.h"
#include "downloader/files/own_file.h"

namespace pat {

namespace {

constexpr int header_number = 3;

// One piece of a report row: a slot's value in a fixed width, the date slot
// as it stands (width 0), or a fixed text (slot 0).
struct RowPiece {
  int slot = 0;
  std::size_t width = 0;
  std::string_view text;
};

RowPiece fixed(int slot, std::size_t width) { return RowPiece{slot, width, {}}; }
RowPiece unfixed(int slot) { return RowPiece{slot, 0, {}}; }
RowPiece literal(std::string_view text) { return RowPiece{0, 0, text}; }

struct ReportLayout {
  std::string_view name;  // the ReportFormat that selects it; empty for the wide one
  std::string_view title;
  std::string_view underline;
  std::vector<RowPiece> pieces;
};

const ReportLayout& wide_layout() {
  static const ReportLayout layout{
      "",
      "Appliance ID      Tested   Site           Location      Comment                    "
      "                User      Result",
      "------------      ------   ----           --------      -------                    "
      "                ----      ------",
      {fixed(1, 15), literal(" "), unfixed(2), literal(" "), fixed(4, 14), literal(" "),
       fixed(5, 14), literal(" "), fixed(26, 20), literal(" "), fixed(27, 20), literal(" "),
       fixed(7, 11), literal(" "), fixed(20, 4)}};
  return layout;
}

const std::vector<ReportLayout>& basic_layouts() {
  static const std::vector<ReportLayout> layouts = {
      {"2",
       "Appliance ID   Tested   Site            Comment              User         Result",
       "------------   ------   ----            -------              ----         ------",
       {fixed(1, 13), unfixed(2), literal(" "), fixed(4, 16), fixed(26, 21), fixed(7, 13),
        fixed(20, 4)}},
      {"3",
       "Appliance ID   Tested   Location        Comment              User         Result",
       "------------   ------   --------        -------              ----         ------",
       {fixed(1, 13), unfixed(2), literal(" "), fixed(5, 16), fixed(26, 21), fixed(7, 13),
        fixed(20, 4)}},
      {"4",
       "Appliance ID      Tested   Comment                           User         Result",
       "------------      ------   -------                           ----         ------",
       {fixed(1, 15), literal(" "), unfixed(2), literal(" "), fixed(26, 25),
        literal("         "), fixed(7, 13), literal("  "), fixed(20, 4)}},
  };
  return layouts;
}

// The layout of a report, or none for another writer or an unknown name.
const ReportLayout* find_layout(Writer report, std::string_view report_format) {
  if (report == Writer::wide_report) return &wide_layout();
  if (report != Writer::basic_report) return nullptr;
  for (const ReportLayout& layout : basic_layouts()) {
    if (layout.name == report_format) return &layout;
  }
  return nullptr;
}

}  // namespace

void copy_header_file(std::string_view name, FileTable& files, int output_number) {
  const Text found = own_file_name(name);
  if (!file_exists(found)) return;
  files.open_file(found, mode_input, header_number);
  while (!files.end_of_file(header_number)) {
    Text line;
    files.line_input_file(header_number, line);
    files.print_to_file(output_number, line, true);
  }
  files.close_file(header_number);
}

void report_heading(Writer report, std::string_view report_format, FileTable& files,
                    int output_number) {
  if (report == Writer::basic_report) copy_header_file("header.txt", files, output_number);
  if (report == Writer::wide_report) copy_header_file("header-wide.txt", files, output_number);
  const ReportLayout* layout = find_layout(report, report_format);
  if (layout == nullptr) return;
  files.print_to_file(output_number, layout->title, true);
  files.print_to_file(output_number, layout->underline, true);
}

void report_row(const CertificateRecord& record, Writer report, std::string_view report_format,
                std::string_view row_end, Text& row) {
  row.clear();
  const ReportLayout* layout = find_layout(report, report_format);
  if (layout == nullptr) return;
  // Fixed cells are cut or padded with blanks: the row is laid out in
  // blanks and each value copied into its place.
  std::size_t size = row_end.size();
  for (const RowPiece& piece : layout->pieces) {
    if (piece.slot == 0) {
      size += piece.text.size();
    } else {
      size += piece.width == 0 ? record[piece.slot].size() : piece.width;
    }
  }
  row.assign(size, ' ');
  char* out = row.data();
  const auto put = [&out](std::string_view text) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
  };
  for (const RowPiece& piece : layout->pieces) {
    if (piece.slot == 0) {
      put(piece.text);
      out += piece.text.size();
    } else if (piece.width == 0) {
      put(record[piece.slot]);
      out += record[piece.slot].size();
    } else {
      const std::string_view value = record[piece.slot];
      put(value.substr(0, std::min(value.size(), piece.width)));
      out += piece.width;
    }
  }
  put(row_end);
}

SlotSet report_slots(Writer report, std::string_view report_format) {
  const ReportLayout* layout = find_layout(report, report_format);
  SlotSet slots = 0;
  if (layout == nullptr) return slots;
  for (const RowPiece& piece : layout->pieces) {
    if (piece.slot != 0) slots |= SlotSet{1} << piece.slot;
  }
  return slots;
}

}  // namespace pat
