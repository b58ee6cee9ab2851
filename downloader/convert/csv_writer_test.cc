#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/convert/writers.h"
#include "downloader/files/file_table.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_rows.h"

namespace pat {
namespace {

using test::SlotValues;
using test::csv_row;

// A row from its columns (1 to 29), empty columns left out.
Text columns_row(const std::map<int, Text>& columns) {
  Text row;
  for (int column = 1; column <= 29; ++column) {
    const auto found = columns.find(column);
    if (found != columns.end()) row += found->second;
    row += column < 29 ? "," : "\n";
  }
  return row;
}

TEST(CsvWriter, TitleLineNamesTheColumnsInOrder) {
  const std::vector<std::string> titles = {
      "Appliance", "Date", "Time", "Site", "Location", "User", "Test1", "Test2",
      "Visual", "Insulation Value", "Result", "Touch Leakage", "Result", "Earth Value",
      " Result", "Leakage", " Result", "Load", " Result", "Overall Result",
      " Sub Leakage Value", " Result", "Flash Value", " Result", "IEC Lead",
      "Comment #1", "Comment #2", " Comment #3", "Comment #4"};
  std::string expected;
  for (const std::string& title : titles) expected += title + ",";
  expected.back() = '\n';

  EXPECT_EQ(csv_title_text.size(), 268u);
  EXPECT_EQ(csv_title_text, expected);
  EXPECT_EQ(csv_title_text.substr(257), "Comment #4\n");
  EXPECT_EQ(csv_title_text.find('\r'), std::string_view::npos);

  test::ScratchFolder folder;
  const std::string name = folder.file("shop.csv");
  {
    FileTable files;
    files.open_file(name, mode_output, 2);
    csv_title_line(files, 2);
  }
  EXPECT_EQ(test::read_bytes(name), expected);
}

TEST(CsvWriter, Rows) {
  struct Case {
    const char* name;
    SlotValues slots;
    Text row;
  };
  const std::vector<Case> cases = {
      {"worked example",
       {{1, "A0001"}, {2, "05-11-2019"}, {3, "14:32"}, {4, "OFFICE"}, {5, "KITCHEN"},
        {6, "T-ONE"}, {7, "JSMITH"}, {8, "T-TWO"}, {9, "P"}, {10, "99.99"}, {11, "P"},
        {14, "0.09"}, {15, "P"}, {20, "PASS"}, {26, "KETTLE"}},
       "A0001,05-11-2019,14:32,OFFICE,KITCHEN,JSMITH,T-ONE,T-TWO,P,99.99,P,,,0.09,P,,,,,PASS,"
       ",,,,,KETTLE,,,\n"},
      {"every slot empty", {}, Text(28, ',') + "\n"},
      {"user before Test1 when only one is set", {{6, "T1"}}, columns_row({{7, "T1"}})},
      {"slots beyond 29 are not written", {{30, "X"}, {40, "Y"}}, Text(28, ',') + "\n"},
      {"blanks stay, unquoted", {{3, " 9:05 "}, {8, "  "}}, columns_row({{3, " 9:05 "}, {8, "  "}})},
      {"a comma is quoted", {{1, "A,B"}}, columns_row({{1, "\"A,B\""}})},
      {"a trailing comma is quoted", {{26, "CABLE,"}}, columns_row({{26, "\"CABLE,\""}})},
      {"a quote is doubled inside quotes", {{4, "13\" PLUG"}},
       columns_row({{4, "\"13\"\" PLUG\""}})},
      {"a line feed is quoted", {{29, "a\nb"}}, columns_row({{29, "\"a\nb\""}})},
      {"several values quoted in one row, side by side",
       {{1, ","}, {2, "\"\""}, {4, "x,"}, {5, "plain"}, {28, "\n"}, {29, ","}},
       columns_row({{1, "\",\""}, {2, "\"\"\"\"\"\""}, {4, "\"x,\""}, {5, "plain"},
                    {28, "\"\n\""}, {29, "\",\""}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CertificateRecord record = test::record_of(c.slots);
    EXPECT_EQ(csv_row(record), c.row);
  }
  EXPECT_EQ(cases[0].row.size(), 100u);
}

}  // namespace
}  // namespace pat
