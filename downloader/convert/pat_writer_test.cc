#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/convert/writers.h"
#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_rows.h"

namespace pat {
namespace {

using test::SlotValues;
using test::pat_row;

constexpr int output_number = 2;

std::tm clock_reading(int year, int month, int day, int hour, int minute, int second) {
  std::tm reading{};
  reading.tm_year = year - 1900;
  reading.tm_mon = month - 1;
  reading.tm_mday = day;
  reading.tm_hour = hour;
  reading.tm_min = minute;
  reading.tm_sec = second;
  return reading;
}

// A clock that gives its readings in turn, and nothing once they run out.
struct ScriptedClock {
  std::vector<std::tm> readings;
  std::size_t calls = 0;
  std::function<bool(std::tm&)> function() {
    return [this](std::tm& now) {
      if (calls >= readings.size()) return false;
      now = readings[calls++];
      return true;
    };
  }
};

TrailerTexts shop_texts(float baud_choice) { return {"0.12", "16-11-2019", baud_choice}; }

const SlotValues worked_example_slots = {
    {1, "A0001"}, {2, "05-11-2019"}, {3, "14:32"}, {4, "OFFICE"}, {5, "KITCHEN"},
    {6, "T-ONE"}, {7, "JSMITH"},     {8, "T-TWO"}, {9, "P"},      {10, "99.99"},
    {11, "P"},    {14, "0.09"},      {15, "P"},    {20, "PASS"},  {26, "KETTLE"}};

class PatWriter : public ::testing::Test {
 protected:
  // Runs the trailer into a fresh file; the file's bytes, or the error.
  // The trailer of shop.pat.
  std::string trailer_file(const TrailerTexts& texts, CertificateRecord& record,
                           ScriptedClock& clock, const Text& before = "") {
    const std::string name = folder_.file("shop.pat");
    error_ = 0;
    {
      FileTable files;
      files.open_file(name, mode_output, output_number);
      files.print_to_file(output_number, before, false);
      try {
        pat_trailer(texts, "shop.pat", record, files, output_number, clock.function());
      } catch (const RunError& error) {
        error_ = error.number;
      }
    }
    return test::read_bytes(name);
  }

  test::ScratchFolder folder_;
  int error_ = 0;
};

TEST_F(PatWriter, RowKeepsSlotOrderAndEveryComma) {
  struct Case {
    const char* name;
    SlotValues slots;
    Text row;
  };
  const std::vector<Case> cases = {
      {"worked example", worked_example_slots,
       "A0001,05-11-2019,14:32,OFFICE,KITCHEN,T-ONE,JSMITH,T-TWO,P,99.99,P,,,0.09,P,,,,,PASS,"
       ",,,,,KETTLE,,,,"},
      {"every slot empty", {}, Text(29, ',')},
      {"a comma in a value is written unchanged", {{1, "A,B"}, {29, "x "}},
       "A,B," + Text(27, ',') + "x ,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(pat_row(test::record_of(c.slots)), c.row);
  }
  EXPECT_EQ(cases[0].row.size(), 100u);
}

TEST_F(PatWriter, DateAndTimeTexts) {
  struct Case {
    std::tm now;
    Text date;
    Text time;
  };
  const std::vector<Case> cases = {
      {clock_reading(2019, 11, 18, 9, 5, 12), "11-18-2019", "09:05:12"},
      {clock_reading(2000, 1, 1, 0, 0, 0), "01-01-2000", "00:00:00"},
      {clock_reading(1999, 12, 31, 23, 59, 59), "12-31-1999", "23:59:59"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(date_string(c.now), c.date);
    EXPECT_EQ(time_string(c.now), c.time);
  }
  EXPECT_EQ(os_name_string(), "[WINDOWS][32BIT]");
}

TEST_F(PatWriter, WorkedExampleFile) {
  CertificateRecord record = test::record_of(worked_example_slots);
  const Text row = pat_row(record);
  ScriptedClock clock{{clock_reading(2019, 11, 18, 9, 5, 12), clock_reading(2019, 11, 18, 9, 5, 12)}};
  const std::string bytes = trailer_file(shop_texts(2), record, clock, row);
  EXPECT_EQ(error_, 0);
  EXPECT_EQ(bytes,
            row +
                "EOD,11-18-2019,09:05:12,2,0.12,16-11-2019,shop.pat,[WINDOWS],[32BIT],"
                "Faldercroswyth,SuperNova," +
                Text(18, ',') + "EOF\r\n");
  EXPECT_EQ(bytes.size(), 217u);
}

TEST_F(PatWriter, TrailerFields) {
  struct Case {
    const char* name;
    float baud_choice;
    SlotValues held;  // what the record holds when the capture ends
    Text trailer;
  };
  const Text rest = "0.12,16-11-2019,shop.pat,[WINDOWS],[32BIT],Faldercroswyth,SuperNova," +
                    Text(18, ',') + "EOF\r\n";
  SlotValues unfinished;
  for (int slot = 1; slot <= 40; ++slot) unfinished[slot] = "LEFT";
  const std::vector<Case> cases = {
      {"no record at all", 1, {}, "EOD,05-06-2021,07:08:09,1," + rest},
      {"the baud choice, not the rate", 3, {}, "EOD,05-06-2021,07:08:09,3," + rest},
      {"an unfinished record leaves nothing behind", 2, unfinished,
       "EOD,05-06-2021,07:08:09,2," + rest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CertificateRecord record = test::record_of(c.held);
    ScriptedClock clock{{clock_reading(2021, 5, 6, 7, 8, 9), clock_reading(2021, 5, 6, 7, 8, 9)}};
    EXPECT_EQ(trailer_file(shop_texts(c.baud_choice), record, clock), c.trailer);
    EXPECT_EQ(error_, 0);
  }
}

// The date comes from one reading and the time from the next.
TEST_F(PatWriter, DateAndTimeFromTheirOwnReadings) {
  CertificateRecord record;
  ScriptedClock clock{
      {clock_reading(2019, 11, 18, 23, 59, 59), clock_reading(2019, 11, 19, 0, 0, 0)}};
  const std::string bytes = trailer_file(shop_texts(2), record, clock);
  EXPECT_EQ(bytes.substr(0, 24), "EOD,11-18-2019,00:00:00,");
  EXPECT_EQ(clock.calls, 2u);
}

TEST_F(PatWriter, NoClockWritesNothing) {
  struct Case {
    const char* name;
    std::vector<std::tm> readings;
  };
  const std::vector<Case> cases = {
      {"no date", {}},
      {"no time", {clock_reading(2019, 11, 18, 9, 5, 12)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CertificateRecord record;
    ScriptedClock clock{c.readings};
    EXPECT_EQ(trailer_file(shop_texts(2), record, clock, "A0001,"), "A0001,");
    EXPECT_EQ(error_, err::illegal_function_call);
  }
}

}  // namespace
}  // namespace pat
