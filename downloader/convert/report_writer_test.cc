#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "downloader/convert/writers.h"
#include "downloader/files/file_table.h"
#include "downloader/formats.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_rows.h"

namespace pat {
namespace {

using test::at_columns;
using test::SlotValues;
using test::report_row;

constexpr int output_number = 2;

// A row of the given length before its CR LF, the texts at their columns.
Text expected_row(std::size_t length,
                  std::initializer_list<std::pair<long, std::string_view>> pieces) {
  Text row = at_columns(pieces);
  row.resize(length, ' ');
  return row + "\r\n";
}

const SlotValues full_record = {
    {1, "A0001"},   {2, "05-11-2019"}, {3, "14:32"},      {4, "OFFICE"},
    {5, "KITCHEN"}, {7, "JSMITH"},     {20, "PASS"},      {26, "KETTLE"},
    {27, "SECOND"}, {28, "THIRD"},     {29, "FOURTH"}};

SlotValues without_date() {
  SlotValues values = full_record;
  values.erase(2);
  return values;
}

const Text long_id = "ABCDEFGHIJKLMNOPQRST";                                  // 20
const Text long_place = "SIXTEEN-CHARS-AB";                                   // 16
const Text long_user = "USER-NAME-OF-24-LETTERS!";                            // 24
const Text long_comment = "COMMENT-LINE-OF-SIXTY-CHARACTERS-0123456789-0123456789-01234";  // 60
const Text long_second = "SECOND-COMMENT-LINE-OF-SIXTY-CHARACTERS-0123456789-01234567";   // 60

const SlotValues long_record = {{1, long_id},      {2, "05-11-2019"}, {4, long_place},
                                {5, long_place},   {7, long_user},    {26, long_comment},
                                {27, long_second}};

TEST(ReportWriter, RowsFollowTheirColumns) {
  struct Case {
    const char* name;
    float format;
    const char* layout;
    SlotValues slots;
    Text row;
  };
  const std::string_view date = "05-11-2019";
  const std::vector<Case> cases = {
      {"site layout", 7, "2", full_record,
       expected_row(78, {{1, "A0001"}, {14, date}, {25, "OFFICE"}, {41, "KETTLE"},
                         {62, "JSMITH"}, {75, "PASS"}})},
      {"location layout", 7, "3", full_record,
       expected_row(78, {{1, "A0001"}, {14, date}, {25, "KITCHEN"}, {41, "KETTLE"},
                         {62, "JSMITH"}, {75, "PASS"}})},
      {"layout without site or location", 7, "4", full_record,
       expected_row(80, {{1, "A0001"}, {17, date}, {28, "KETTLE"}, {62, "JSMITH"},
                         {77, "PASS"}})},
      {"wide report", 8, "2", full_record,
       expected_row(115, {{1, "A0001"}, {17, date}, {28, "OFFICE"}, {43, "KITCHEN"},
                          {58, "KETTLE"}, {79, "SECOND"}, {100, "JSMITH"}, {112, "PASS"}})},
      {"wide report ignores the layout name", 8, "1", full_record,
       expected_row(115, {{1, "A0001"}, {17, date}, {28, "OFFICE"}, {43, "KITCHEN"},
                          {58, "KETTLE"}, {79, "SECOND"}, {100, "JSMITH"}, {112, "PASS"}})},
      {"site layout without a date", 7, "2", without_date(),
       expected_row(68, {{1, "A0001"}, {15, "OFFICE"}, {31, "KETTLE"}, {52, "JSMITH"},
                         {65, "PASS"}})},
      {"layout 4 without a date", 7, "4", without_date(),
       expected_row(70, {{1, "A0001"}, {18, "KETTLE"}, {52, "JSMITH"}, {67, "PASS"}})},
      {"wide report without a date", 8, "4", without_date(),
       expected_row(105, {{1, "A0001"}, {18, "OFFICE"}, {33, "KITCHEN"}, {48, "KETTLE"},
                          {69, "SECOND"}, {90, "JSMITH"}, {102, "PASS"}})},
      {"a short date moves the later columns", 7, "3", {{1, "A1"}, {2, "5-3"}, {5, "HALL"}},
       expected_row(71, {{1, "A1"}, {14, "5-3"}, {18, "HALL"}})},
      {"site layout cuts long values", 7, "2", long_record,
       expected_row(78, {{1, long_id.substr(0, 13)}, {14, date}, {25, long_place},
                         {41, long_comment.substr(0, 21)}, {62, long_user.substr(0, 13)}})},
      {"layout 4 cuts long values", 7, "4", long_record,
       expected_row(80, {{1, long_id.substr(0, 15)}, {17, date},
                         {28, long_comment.substr(0, 25)}, {62, long_user.substr(0, 13)}})},
      {"wide report cuts long values", 8, "2", long_record,
       expected_row(115, {{1, long_id.substr(0, 15)}, {17, date}, {28, long_place.substr(0, 14)},
                          {43, long_place.substr(0, 14)}, {58, long_comment.substr(0, 20)},
                          {79, long_second.substr(0, 20)}, {100, long_user.substr(0, 11)}})},
      {"an empty record is blanks", 7, "2", {}, expected_row(68, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(report_row(test::record_of(c.slots), find_format(c.format).writer, c.layout, "\r\n"),
              c.row);
  }
}

// The parser fills only a report's slots: each report's rows come out the
// same from those alone as from a record with every slot filled.
TEST(ReportWriter, SlotsHoldWhatTheRowsShow) {
  CertificateRecord full;
  for (int slot = 1; slot <= 40; ++slot) full[slot] = "V" + std::to_string(slot) + "-ABCDEFGH";
  for (const auto& [format, layout] : std::vector<std::pair<float, const char*>>{
           {7, "2"}, {7, "3"}, {7, "4"}, {7, "1"}, {8, "2"}}) {
    SCOPED_TRACE(std::to_string(format) + "/" + layout);
    const Writer report = find_format(format).writer;
    const SlotSet slots = report_slots(report, layout);
    CertificateRecord only;
    for (int slot = 1; slot <= 40; ++slot) {
      if (holds_slot(slots, slot)) only[slot] = full[slot];
    }
    EXPECT_EQ(report_row(only, report, layout, "\r\n"), report_row(full, report, layout, "\r\n"));
  }
  EXPECT_EQ(report_slots(Writer::basic_report, "2"),
            SlotSet{1} << 1 | SlotSet{1} << 2 | SlotSet{1} << 4 | SlotSet{1} << 26 |
                SlotSet{1} << 7 | SlotSet{1} << 20);
}

TEST(ReportWriter, RowEndsWithTheGivenLineEnd) {
  const Text row = report_row(test::record_of(full_record), Writer::basic_report, "2", "<end>");
  EXPECT_EQ(row.size(), 78u + 5u);
  EXPECT_EQ(row.substr(78), "<end>");
}

// Runs in a scratch folder, where the header files are looked for.
class ReportHeading : public ::testing::Test {
 protected:
  std::string heading(float format, std::string_view layout) {
    const std::string name = folder_.file("report.txt");
    FileTable files;
    files.open_file(name, mode_output, output_number);
    report_heading(find_format(format).writer, layout, files, output_number);
    EXPECT_FALSE(files.is_open(3));
    files.close_file(output_number);
    return test::read_bytes(name);
  }

  test::WorkingFolder folder_;
};

struct TitleCase {
  float format;
  const char* layout;
  std::size_t width;
  std::vector<std::pair<long, std::string_view>> words;
};

// Title words at their columns, each underlined by as many dashes.
std::string expected_titles(const TitleCase& c) {
  std::string title(c.width, ' ');
  std::string underline(c.width, ' ');
  for (const auto& [column, word] : c.words) {
    title.replace(static_cast<std::size_t>(column - 1), word.size(), word);
    underline.replace(static_cast<std::size_t>(column - 1), word.size(), word.size(), '-');
  }
  return title + "\r\n" + underline + "\r\n";
}

TEST_F(ReportHeading, TitleLinesWithoutHeaderFile) {
  const std::vector<TitleCase> cases = {
      {7, "2", 80, {{1, "Appliance ID"}, {16, "Tested"}, {25, "Site"}, {41, "Comment"},
                    {62, "User"}, {75, "Result"}}},
      {7, "3", 80, {{1, "Appliance ID"}, {16, "Tested"}, {25, "Location"}, {41, "Comment"},
                    {62, "User"}, {75, "Result"}}},
      {7, "4", 80, {{1, "Appliance ID"}, {19, "Tested"}, {28, "Comment"}, {62, "User"},
                    {75, "Result"}}},
      {8, "2", 115, {{1, "Appliance ID"}, {19, "Tested"}, {28, "Site"}, {43, "Location"},
                     {57, "Comment"}, {100, "User"}, {110, "Result"}}},
      {8, "4", 115, {{1, "Appliance ID"}, {19, "Tested"}, {28, "Site"}, {43, "Location"},
                     {57, "Comment"}, {100, "User"}, {110, "Result"}}},
  };
  for (const TitleCase& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.format)) + " layout " + c.layout);
    EXPECT_EQ(heading(c.format, c.layout), expected_titles(c));
  }
}

TEST_F(ReportHeading, OtherFormatsWriteNothing) {
  test::write_bytes("header.txt", "HEADER\r\n");
  EXPECT_EQ(heading(5, "2"), "");
  EXPECT_EQ(heading(6, "2"), "");
}

TEST_F(ReportHeading, HeaderFileLines) {
  const std::string titles =
      "Appliance ID   Tested   Site            Comment              User         Result\r\n"
      "------------   ------   ----            -------              ----         ------\r\n";
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file; "/": a folder of that name
    std::string lines;
  };
  const std::vector<Case> cases = {
      {"no header file", nullptr, ""},
      {"a folder of that name", "/", ""},
      {"an empty header file", "", ""},
      {"empty line, trailing blanks, LF-only lines, no final line end",
       "first\r\n\r\n  trailing  \nlf only\nlast", "first\r\n\r\n  trailing  \r\nlf only\r\nlast\r\n"},
      {"a final line end gives no extra line", "one\r\n", "one\r\n"},
      {"LF CR is one line end", "a\n\rb\n", "a\r\nb\r\n"},
      {"byte 26 ends the file", "a\r\n\x1a" "after", "a\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all("header.txt");
    if (c.content != nullptr && std::string_view(c.content) == "/") {
      std::filesystem::create_directory("header.txt");
    } else if (c.content != nullptr) {
      test::write_bytes("header.txt", c.content);
    }
    EXPECT_EQ(heading(7, "2"), c.lines + titles);
  }
}

TEST_F(ReportHeading, EachReportHasItsOwnHeaderFile) {
  test::write_bytes("header.txt", "BASIC");
  test::write_bytes("header-wide.txt", "WIDE\r\n");
  EXPECT_EQ(heading(7, "4").substr(0, 9), "BASIC\r\nAp");
  EXPECT_EQ(heading(8, "4").substr(0, 8), "WIDE\r\nAp");
}

}  // namespace
}  // namespace pat
