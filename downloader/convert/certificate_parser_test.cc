#include "downloader/convert/certificate_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"
#include "tests/support/reference_parser.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

using test::at_columns;
using test::parse_certificate_line;
using test::SlotValues;

constexpr int input_number = 1;

struct ParseResult {
  std::vector<CertificateRecord> completed;  // as each was when it completed
  CertificateRecord left;                    // what no signature line completed
  int error = 0;
};

// The lines, each with its line end, as a capture in the folder; its name.
std::string write_capture(const test::ScratchFolder& folder, const std::vector<Text>& lines) {
  const std::string name = folder.file("capture.tmp");
  std::string bytes;
  for (const Text& line : lines) bytes += line + "\n";
  test::write_bytes(name, bytes);
  return name;
}

// Reads the lines from a file the way the conversion does: a line per
// call, the record written out and emptied whenever it completes.
ParseResult parse_lines(const std::vector<Text>& lines) {
  test::ScratchFolder folder;
  const std::string name = write_capture(folder, lines);

  ParseResult result;
  FileTable files;
  try {
    files.open_file(name, mode_input, input_number);
    while (!files.end_of_file(input_number)) {
      Text line;
      files.line_input_file(input_number, line);
      if (parse_certificate_line(line, files, input_number, result.left)) {
        result.completed.push_back(result.left);
        result.left.clear();
      }
    }
  } catch (const RunError& error) {
    result.error = error.number;
  }
  return result;
}

// Every slot from 0 to 40 holds what `expected` lists, the rest nothing.
void expect_slots(const CertificateRecord& record, const SlotValues& expected) {
  for (int slot = 0; slot <= 40; ++slot) {
    const auto found = expected.find(slot);
    const Text want = found == expected.end() ? Text() : found->second;
    EXPECT_EQ(record[slot], want) << "slot " << slot;
  }
}

struct LinesCase {
  const char* name;
  std::vector<Text> lines;
  std::vector<SlotValues> completed;
  SlotValues left;
  int error = 0;
};

void check(const LinesCase& c) {
  SCOPED_TRACE(c.name);
  const ParseResult result = parse_lines(c.lines);
  EXPECT_EQ(result.error, c.error);
  ASSERT_EQ(result.completed.size(), c.completed.size());
  for (std::size_t i = 0; i < c.completed.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i + 1));
    expect_slots(result.completed[i], c.completed[i]);
  }
  SCOPED_TRACE("record left unfinished");
  expect_slots(result.left, c.left);
}

TEST(CertificateParser, WorkedExampleBlock) {
  check({"worked example",
         {
             Text(40, '='),
             at_columns({{1, "APPLIANCE"}, {10, ": "}, {12, "DRILL-42"}}),
             at_columns({{1, "DATE: "}, {7, "05/03/2019"}, {18, "14:25"}}),
             at_columns({{1, "SITE: "}, {7, "NORTH WORKSHOP"}}),
             at_columns({{1, "LOCATION:"}, {14, "STORE ROOM 2"}, {43, "TEST1-DATA"}}),
             at_columns({{1, "USER:"}, {14, "J SMITH"}, {43, "TEST2-DATA"}}),
             at_columns({{3, "VISUAL  "}, {23, "P"}}),
             at_columns({{3, "INS  "}, {12, "299.9 MOhm"}, {23, "P"}}),
             at_columns({{3, "TLKGE  "}, {12, "0.120 mA"}, {23, "P"}}),
             at_columns({{3, "EARTH  "}, {13, "0.09 Ohm"}, {23, "P"}}),
             at_columns({{3, "LKGE  "}, {12, "0.45 mA"}, {22, "P"}}),
             at_columns({{3, "LOAD  "}, {13, "0.54 kVA"}, {23, "P"}}),
             at_columns({{3, "OVERALL STATUS"}, {20, "PASS"}}),
             at_columns({{3, "SLKGE  "}, {12, "0.21 mA"}, {23, "P"}}),
             at_columns({{3, "FLASH  "}, {12, "2.10 mA"}, {23, "P"}}),
             at_columns({{3, "IEC LEAD  "}, {23, "P"}}),
             at_columns({{1, "COMMENTS: "}, {11, "CABLE REPLACED"}, {70, " "}}),
             at_columns({{11, "PLUG FUSE 13A"}}),
             at_columns({{11, "RETEST IN 6 MONTHS"}}),
             "",
             "SIGNATURE:",
         },
         {{
             {1, "DRILL-42"},      {2, "05-03-2019"},     {3, "14:25"},
             {4, "NORTH WORKSHOP"}, {5, "STORE ROOM 2"},  {6, "TEST1-DATA"},
             {7, "J SMITH"},       {8, "TEST2-DATA"},     {9, "P"},
             {10, "299.9 MOhm"},   {11, "P"},             {12, "0.120 mA"},
             {13, "P"},            {14, "0.09 Ohm"},      {15, "P"},
             {16, "0.45 mA"},      {17, "P"},             {18, "0.54 kVA"},
             {19, "P"},            {20, "PASS"},          {21, "0.21 mA"},
             {22, "P"},            {23, "2.10 mA"},       {24, "P"},
             {25, "P"},            {26, "CABLE REPLACED"}, {27, "PLUG FUSE 13A"},
             {28, "RETEST IN 6 MONTHS"},
         }},
         {}});
}

// Asked for some slots, the parser fills those as it would fill them all,
// and leaves the rest empty, for lines met again too; the comment block
// reads its lines either way.
TEST(CertificateParser, FillsOnlyTheSlotsAsked) {
  const std::vector<Text> lines = {
      at_columns({{1, "APPLIANCE: DRILL-42"}}),
      at_columns({{1, "DATE: "}, {7, "05/03/2019"}, {18, "14:25"}}),
      at_columns({{1, "USER:"}, {14, "J SMITH"}, {43, "TEST2-DATA"}}),
      at_columns({{3, "TLKGE  "}, {12, "0.120 mA"}, {23, "P"}, {30, "LKGE  0.3 mA"}}),
      at_columns({{1, "COMMENTS: "}, {11, "CABLE REPLACED"}, {70, " "}}),
      "PLUG FUSE 13A",
      "RETEST IN 6 MONTHS",
      "SITE: LAST LINE",
      "SIGNATURE:",
  };
  test::ScratchFolder folder;
  const std::string name = folder.file("capture.tmp");
  std::string bytes;
  for (int block = 0; block < 3; ++block) {
    for (const Text& line : lines) bytes += line + "\n";
  }
  test::write_bytes(name, bytes);
  const std::vector<SlotSet> asked = {0, SlotSet{1} << 2, SlotSet{1} << 7 | SlotSet{1} << 16,
                                      SlotSet{1} << 27 | SlotSet{1} << 29, field_slots};
  for (const SlotSet fill : asked) {
    SCOPED_TRACE(fill);
    FileTable files;
    files.open_file(name, mode_input, 1);
    files.open_file(name, mode_input, 2);
    CertificateParser parser(files, 1, fill);
    CertificateRecord some;
    CertificateRecord all;
    int completed = 0;
    while (!files.end_of_file(1)) {
      Text line;
      files.line_input_file(1, line);
      Text same;
      files.line_input_file(2, same);
      const bool complete = parser.parse(line, some);
      EXPECT_EQ(complete, parse_certificate_line(same, files, 2, all));
      if (!complete) continue;
      ++completed;
      for (int slot = 0; slot <= 40; ++slot) {
        EXPECT_EQ(some[slot], holds_slot(fill, slot) ? all[slot] : Text()) << "slot " << slot;
      }
      some.clear();
      all.clear();
    }
    EXPECT_EQ(completed, 3);
    EXPECT_TRUE(files.end_of_file(2));
  }
}

// Whether the conversion's parser ends inside a record after the lines.
bool open_at_end(const std::vector<Text>& lines, SlotSet fill) {
  test::ScratchFolder folder;
  const std::string name = write_capture(folder, lines);
  FileTable files;
  files.open_file(name, mode_input, input_number);
  CertificateParser parser(files, input_number, fill);
  CertificateRecord record;
  while (!files.end_of_file(input_number)) {
    Text line;
    files.line_input_file(input_number, line);
    if (parser.parse(line, record)) record.clear();
  }
  return parser.record_open();
}

// A record is open once a line read by the rules holds a label, whatever
// the writer shows of it, until a signature line completes it.
TEST(CertificateParser, TellsWhetherTheLinesEndInsideARecord) {
  struct Case {
    const char* name;
    std::vector<Text> lines;
    bool open;
  };
  const std::vector<Case> cases = {
      {"no lines", {}, false},
      {"cut after part of a record", {Text(40, '='), "APPLIANCE: A1", "SITE: NORTH"}, true},
      {"ends after the signature", {"APPLIANCE: A1", "SIGNATURE:"}, false},
      {"blank and separator lines and the closing text after it",
       {"APPLIANCE: A1", "SIGNATURE:", "", "  ", Text(40, '='), "end of data"},
       false},
      {"a label line after the last record",
       {"APPLIANCE: A1", "SIGNATURE:", "SITE: SOUTH", "end of data"},
       true},
      {"a label that fills a slot no report shows", {"SIGNATURE:", "  VISUAL              P"},
       true},
      {"a label on a separator line is not read", {"SIGNATURE:", "x==SITE: NORTH"}, false},
      {"labels match letter case", {"SIGNATURE:", "Site: north", "Signature:"}, false},
      {"a touch leakage line, blanked and searched again",
       {"SIGNATURE:", "  TLKGE    0.10 mA    P"},
       true},
      {"the signature in the third comment line completes",
       {"COMMENTS: X", "A", "B", "SIGNATURE:"},
       false},
      {"the signature in the comment's own line does not",
       {"COMMENTS: X SIGNATURE:", "A", "B", "C"},
       true},
      {"the signature in the first comment line does not",
       {"SIGNATURE:", "COMMENTS: X", "SIGNATURE:", "", ""},
       true},
      {"a record begun and completed on one line",
       {"SITE: A", "SIGNATURE:", "APPLIANCE: A2 SIGNATURE:", ""},
       false},
  };
  for (const Case& c : cases) {
    for (const SlotSet fill : {every_slot, field_slots, SlotSet{0}}) {
      SCOPED_TRACE(std::string(c.name) + ", fill " + std::to_string(fill));
      EXPECT_EQ(open_at_end(c.lines, fill), c.open);
    }
  }
}

// One rule at a time, mostly on lines that end inside the rule's window.
TEST(CertificateParser, EachRuleAtTheEndOfAShortLine) {
  const std::vector<LinesCase> cases = {
      {"appliance cut by the line end", {"APPLIANCE: DRILL"}, {}, {{1, "DRILL"}}},
      {"appliance longer than its columns",
       {"APPLIANCE: ABCDEFGHIJKLMNOPQRSTUVWXY"},
       {},
       {{1, "ABCDEFGHIJKLMNOPQRSTU"}}},
      {"appliance take beyond the end empties the slot",
       {"APPLIANCE: OLD-ID", "APPLIANCE:"},
       {},
       {{1, ""}}},
      {"date dashes whatever the separators", {"DATE: 05.03.2019 14:25"}, {},
       {{2, "05-03-2019"}, {3, "14:25"}}},
      {"short date gets only its third character", {"DATE: 05/03"}, {}, {{2, "05-03"}}},
      {"date of three characters", {"DATE: 1/2"}, {}, {{2, "1/-"}}},
      {"date of two characters keeps them", {"DATE: 12"}, {}, {{2, "12"}}},
      {"time keeps its blanks",
       {at_columns({{1, "DATE:"}, {7, "05/03/19"}, {18, " 9:05"}})},
       {},
       {{2, "05-03-19"}, {3, " 9:05"}}},
      {"time cut by the line end", {"DATE: 05/03/2019 14:2"}, {},
       {{2, "05-03-2019"}, {3, "14:2"}}},
      {"site cut by the line end", {"SITE: AB"}, {}, {{4, "AB"}}},
      {"location from fixed columns wherever the label stands",
       {at_columns({{14, "SHOP"}, {30, "LOCATION:"}, {43, "T1"}})},
       {},
       {{5, at_columns({{1, "SHOP"}, {17, "LOCATION"}})}, {6, "T1"}}},
      {"location test field beyond the end", {"LOCATION:    ROOM"}, {}, {{5, "ROOM"}}},
      {"user keeps the test field's blanks",
       {at_columns({{1, "USER:"}, {14, "J SMITH"}, {43, " TEST2 "}})},
       {},
       {{7, "J SMITH"}, {8, " TEST2 "}}},
      {"visual line shorter than its column",
       {at_columns({{3, "VISUAL  "}, {23, "P"}}), "  VISUAL  F"},
       {},
       {{9, ""}}},
      {"insulation result is the line's last character",
       {at_columns({{3, "INS  "}, {12, ">299"}})},
       {},
       {{10, ">299"}, {11, "9"}}},
      {"touch leakage fills only its own slots",
       {at_columns({{3, "TLKGE  "}, {12, "0.120 mA"}, {23, "P"}})},
       {},
       {{12, "0.120 mA"}, {13, "P"}}},
      {"earth trims blanks on the left only, tabs stay",
       {at_columns({{3, "EARTH  "}, {12, "\t0.09 "}, {23, "P"}})},
       {},
       {{14, "\t0.09    "}, {15, "P"}}},
      {"leakage result from the window's twentieth column",
       {at_columns({{3, "LKGE  "}, {12, "0.45 mA"}, {22, "P"}, {23, "X"}})},
       {},
       {{16, "0.45 mA"}, {17, "P"}}},
      {"leakage label at the start of the line",
       {at_columns({{1, "LKGE  "}, {10, "0.45 mA"}, {20, "F"}})},
       {},
       {{16, "0.45 mA"}, {17, "F"}}},
      {"leakage cut by the line end", {"  LKGE     0.4"}, {}, {{16, "0.4"}, {17, "4"}}},
      {"load keeps its blanks",
       {at_columns({{3, "LOAD  "}, {13, " 0.5 kV "}, {23, "P"}})},
       {},
       {{18, " 0.5 kV "}, {19, "P"}}},
      {"overall cut by the line end", {at_columns({{3, "OVERALL STATUS"}, {20, "PA"}})}, {},
       {{20, "PA"}}},
      {"sub leakage fills only its own slots",
       {at_columns({{3, "SLKGE  "}, {12, "0.21 mA"}, {23, "P"}})},
       {},
       {{21, "0.21 mA"}, {22, "P"}}},
      {"flash cut by the line end", {"  FLASH    2.1"}, {}, {{23, "2.1"}, {24, "1"}}},
      {"IEC lead result is the last character even a blank", {"  IEC LEAD  "}, {},
       {{25, " "}}},
      {"a rule never touches the slots it does not take",
       {"SITE: FIRST", "DATE: 05/03/2019 14:25", "SITE: SECOND"},
       {},
       {{2, "05-03-2019"}, {3, "14:25"}, {4, "SECOND"}}},
  };
  for (const LinesCase& c : cases) check(c);
}

TEST(CertificateParser, WhichLinesAndLabelsCount) {
  const std::vector<LinesCase> cases = {
      {"equals signs in columns 2 and 3 skip the whole line",
       {Text(40, '='), "x==SITE: NORTH SIGNATURE:", " ==APPLIANCE: X"},
       {},
       {}},
      {"lines of one or two characters are parsed", {"", "S", "=="}, {}, {}},
      {"labels match letter case", {"Date: 05/03/2019 14:25", "Site: NORTH", "Signature:"}, {},
       {}},
      {"a label inside a word counts",
       {at_columns({{1, "UPDATED"}, {9, "05/03/2019"}, {20, "10:00"}})},
       {},
       {{2, "05-03-2019"}, {3, "10:00"}}},
      {"only the first occurrence counts", {"SITE: ONE SITE: TWO"}, {}, {{4, "ONE SITE: TWO"}}},
      {"the closing text holds no label", {"end of data"}, {}, {}},
      {"signature line's own fields belong to its record",
       {at_columns({{1, "SITE: NORTH"}, {30, "SIGNATURE:"}})},
       {{{4, "NORTH"}}},
       {}},
      {"sub leakage and leakage in one line",
       {at_columns({{1, "SLKGE  "}, {10, "0.21 mA"}, {21, "P"}, {30, "LKGE  "},
                    {39, "0.45 mA"}, {49, "F"}})},
       {},
       {{16, "0.45 mA"}, {17, "F"}, {21, "0.21 mA"}, {22, "P"}}},
      {"touch leakage hides its own leakage label, not a later one",
       {at_columns({{1, "TLKGE  "}, {10, "0.120 mA"}, {21, "P"}, {30, "LKGE  "},
                    {39, "0.45 mA"}, {49, "F"}})},
       {},
       {{12, "0.120 mA"}, {13, "P"}, {16, "0.45 mA"}, {17, "F"}}},
      {"a block without a signature carries into the next",
       {"APPLIANCE: A1", "SITE: S1", "DATE: 01/02/2020 08:00", Text(40, '='), "APPLIANCE: A2",
        "SIGNATURE:", "APPLIANCE: A3", "SIGNATURE:", "SITE: S4"},
       {{{1, "A2"}, {2, "01-02-2020"}, {3, "08:00"}, {4, "S1"}}, {{1, "A3"}}},
       {{4, "S4"}}},
  };
  for (const LinesCase& c : cases) check(c);
}

TEST(CertificateParser, CommentBlock) {
  const std::vector<LinesCase> cases = {
      {"a lone label is its own first comment line",
       {"COMMENTS:", "A", "B", "C"},
       {},
       {{26, "COMMENTS:"}, {27, "A"}, {28, "B"}, {29, "C"}}},
      {"seventy columns from the label's column",
       {at_columns({{1, "COMMENTS: "}, {11, "CABLE"}, {71, "CUT"}}),
        at_columns({{1, " A"}, {70, "B"}, {71, "C"}}), "", ""},
       {},
       {{26, "CABLE"}, {27, at_columns({{1, "A"}, {69, "B"}})}}},
      {"later lines read from the first line's column, whatever they hold",
       {at_columns({{5, "COMMENTS: CABLE"}}), "ABCDEFG", "   ", "====SIGNATURE:"},
       {{{26, "COMMENTS: CABLE"}, {27, "EFG"}, {29, "SIGNATURE:"}}},
       {}},
      {"labelled comment lines fill nothing else, signature completes only in the third",
       {"COMMENTS: X SIGNATURE:", "SIGNATURE:", "SITE: FAR", "DATE: 1"},
       {},
       {{26, "COMMENTS: X SIGNATURE:"}, {27, "SIGNATURE:"}, {28, "SITE: FAR"},
        {29, "DATE: 1"}}},
      {"an earlier rule's blank shows in the comment",
       {"COMMENTS: TLKGE  FAILED", "", "", ""},
       {},
       {{12, "ILED"}, {13, "D"}, {26, "COMMENTS: T KGE  FAILED"}}},
      {"the lines after the block are parsed again",
       {"COMMENTS: X", "", "", "", "SIGNATURE:"},
       {{{26, "COMMENTS: X"}}},
       {}},
      {"cut off after two lines", {"APPLIANCE: A1", "COMMENTS: X", "ONE"}, {},
       {{1, "A1"}, {26, "COMMENTS: X"}, {27, "ONE"}}, err::input_past_end},
      {"cut off right after the label line", {"COMMENTS: X"}, {}, {{26, "COMMENTS: X"}},
       err::input_past_end},
  };
  for (const LinesCase& c : cases) check(c);
}

// A label is found at its true column however long the line is.
TEST(CertificateParser, LabelsFarAlongALongLine) {
  const std::vector<LinesCase> cases = {
      {"window label past column 40000", {Text(40000, ' ') + "SITE: FAR"}, {}, {{4, "FAR"}}},
      {"window label past column 65536", {Text(65540, ' ') + "APPLIANCE: FAR"}, {},
       {{1, "FAR"}}},
      {"fixed-column label past column 40000",
       {at_columns({{14, "NEAR"}, {43, "TEST2"}}) + Text(40000, ' ') + "USER:"},
       {},
       {{7, "NEAR"}, {8, "TEST2     "}}},
      {"leakage passes over a sub leakage label far along",
       {Text(70000, ' ') + at_columns({{1, "SLKGE  "}, {10, "0.21 mA"}, {21, "P"}, {30, "LKGE  "},
                                       {39, "0.45 mA"}, {49, "F"}})},
       {},
       {{16, "0.45 mA"}, {17, "F"}, {21, "0.21 mA"}, {22, "P"}}},
  };
  for (const LinesCase& c : cases) check(c);
}

// The conversion's parser takes each line as a view into a buffer of its
// own: a rule that changes the line changes a copy, never the buffer, and
// the later rules and the comment block read on as in place.
TEST(CertificateParser, ALineViewedElsewhereParsesAsInPlace) {
  const std::vector<std::vector<Text>> blocks = {
      {at_columns({{1, "TLKGE  "}, {10, "0.120 mA"}, {21, "P"}, {30, "LKGE  "}, {39, "0.45 mA"},
                   {49, "F"}})},
      {at_columns({{1, "LKGE  "}, {10, "0.45 mA"}, {21, "P"}, {30, "TLKGE  "}, {39, "0.1"}})},
      {"COMMENTS: TLKGE  FAILED", "SITE: ONE", "", "TLKGE  0.3  LKGE  0.4  SIGNATURE:"},
      {"COMMENTS: X", "A", "B", "LKGE  0.2 mA  P   SITE: LAST"},
      {"SITE: NORTH", "APPLIANCE: A1 SIGNATURE:"},
  };
  for (const std::vector<Text>& block : blocks) {
    SCOPED_TRACE(block.front());
    test::ScratchFolder folder;
    const std::string name = write_capture(folder, block);
    FileTable files;
    files.open_file(name, mode_input, 1);
    files.open_file(name, mode_input, 2);
    CertificateParser parser(files, 1);
    CertificateRecord viewed;
    CertificateRecord in_place;
    while (!files.end_of_file(1)) {
      Text line;
      files.line_input_file(1, line);
      Text same;
      files.line_input_file(2, same);
      const Text held = line;
      const bool viewed_complete = parser.parse(std::string_view(line), viewed);
      EXPECT_EQ(line, held);
      EXPECT_EQ(viewed_complete, parse_certificate_line(same, files, 2, in_place));
      for (int slot = 0; slot <= 40; ++slot) EXPECT_EQ(viewed[slot], in_place[slot]) << slot;
    }
    EXPECT_TRUE(files.end_of_file(2));
  }
}

// The rules run one after the other, each searching the line afresh: what
// the parser must give, however it finds the labels.
bool parse_rule_by_rule(Text& line, FileTable& files, int number, CertificateRecord& record) {
  if (string_mid(line, 2, 2) == "==") return false;
  using Trim = SlotTake::Trim;
  const auto trim = [](const Text& value, Trim how) {
    if (how == Trim::right || how == Trim::both) return string_rtrim(how == Trim::both ? string_ltrim(value) : value);
    return how == Trim::left ? string_ltrim(value) : value;
  };
  bool complete = false;
  for (const CertificateLabelRule& rule : certificate_label_rules()) {
    long p = string_instr(line, rule.label);
    while (rule.skip_after_s && p > 1 && line[static_cast<std::size_t>(p - 2)] == 'S')
      p = string_instr(p + 1, line, rule.label);
    if (p == 0) continue;
    const Text window = string_mid(line, p, rule.window_width);
    for (const SlotTake& take : rule.takes) {
      const Text& source = take.source == SlotTake::Source::window ? window : line;
      record[take.slot] = trim(take.from_end ? string_right(source, take.length)
                                             : string_mid(source, take.start, take.length),
                               take.trim);
    }
    using Action = CertificateLabelRule::Action;
    if (rule.action == Action::blank_second_character) mid_statement(line, p + 1, " ");
    if (rule.action == Action::date_dashes) {
      mid_statement(record[2], 3, "-");
      mid_statement(record[2], 6, "-");
    }
    if (rule.action == Action::comment_block) {
      for (int slot = 27; slot <= 29; ++slot) {
        files.line_input_file(number, line);
        record[slot] = trim(string_mid(line, p, rule.window_width), Trim::both);
      }
    }
    if (rule.action == Action::mark_complete) complete = true;
  }
  return complete;
}

// Reads the bytes as a capture twice, line by line: parse, the parser under
// test, and the rules run one by one must complete the same records with the
// same slots.
void expect_agreement_with_rules_one_by_one(
    const std::string& bytes,
    const std::function<bool(FileTable&, int, Text&, CertificateRecord&)>& parse) {
  test::ScratchFolder folder;
  const std::string name = folder.file("capture.tmp");
  test::write_bytes(name, bytes);
  FileTable files;
  files.open_file(name, mode_input, 1);
  files.open_file(name, mode_input, 2);
  CertificateRecord got;
  CertificateRecord want;
  int line_number = 0;
  while (!files.end_of_file(1)) {
    Text line;
    files.line_input_file(1, line);
    Text same;
    files.line_input_file(2, same);
    ++line_number;
    SCOPED_TRACE("line " + std::to_string(line_number) + ": " + line);
    const bool got_complete = parse(files, 1, line, got);
    ASSERT_EQ(got_complete, parse_rule_by_rule(same, files, 2, want));
    for (int slot = 0; slot <= 40; ++slot) ASSERT_EQ(got[slot], want[slot]) << "slot " << slot;
    if (got_complete) {
      got.clear();
      want.clear();
    }
  }
  EXPECT_TRUE(files.end_of_file(2));
}

// Lines made of labels, pieces of labels and their neighbours at random: the
// parser agrees with the rules run one by one on every one of them.
TEST(CertificateParser, AgreesWithTheRulesRunOneByOne) {
  const std::vector<std::string> pieces = {
      "APPLIANCE", "DATE", "SITE:", "LOCATION:", "USER:", "VISUAL  ", "INS  ", "TLKGE  ",
      "EARTH  ", "LKGE  ", "LOAD  ", "OVERALL ST", "SLKGE  ", "FLASH  ", "IEC LEAD  ",
      "COMMENTS:", "SIGNATURE:", "S", "T", "L", "LKG", "KGE  ", "TLKG", "SLKGE", "IEC ",
      "==", "=", " ", "   ", "          ", "0.45 mA", "P", "F", "05/03/2019", ",", "\t",
      "UPDATED", "\x80\xff", "SSLKGE  ", "TTLKGE  LKGE  "};
  std::mt19937 random(20240613);
  std::vector<Text> lines;
  for (int i = 0; i < 4000; ++i) {
    Text line;
    const int count = static_cast<int>(random() % 12);
    for (int k = 0; k < count; ++k) line += pieces[random() % pieces.size()];
    lines.push_back(line);
  }
  // A comment block near the end still finds its three lines.
  for (int i = 0; i < 3; ++i) lines.push_back("");

  std::string bytes;
  for (const Text& line : lines) bytes += line + "\n";
  expect_agreement_with_rules_one_by_one(
      bytes, [](FileTable& files, int number, Text& line, CertificateRecord& record) {
        return parse_certificate_line(line, files, number, record);
      });
}

// The conversion's parser, on a download that repeats its lines, some
// changed by their own rules, some alike but for a byte, some filling many
// slots: it agrees with the rules run one by one.
TEST(CertificateParser, RepeatedLinesAgreeWithTheRulesRunOneByOne) {
  std::vector<Text> pool = {
      "APPLIANCE: A1",
      "APPLIANCE: A2",
      "APPLIANCE: A3    SIGNATURE:",
      at_columns({{1, "LOCATION:"}, {14, "STORE"}, {43, "T1"}, {60, "USER:"}, {73, "J"},
                  {102, "T2 INS  299 MOhm P EARTH  0.1 Ohm  P LOAD  2.9 kVA  P"}}),
      at_columns({{3, "INS  "}, {12, "299.9 MOhm"}, {23, "P"}}),
      "SITE: NORTH WORKSHOP",
      "SITE: NORTH WORKSHOP ",
      at_columns({{3, "TLKGE  "}, {12, "0.120 mA"}, {23, "P"}, {30, "LKGE  0.3 mA  F"}}),
      at_columns({{3, "SLKGE  "}, {12, "0.21 mA"}, {23, "P"}}),
      at_columns({{3, "LKGE  "}, {12, "0.21 mA"}, {23, "P"}}),
      "COMMENTS: X",
      "DATE: 05/03/2019 14:25",
      "SIGNATURE:",
      "   ",
      Text(300, ' ') + "SITE: FAR",
      Text(300, ' ') + "SITE: FAB",
  };
  // Many lines alike but for a few bytes.
  for (int i = 0; i < 150; ++i) pool.push_back("USER: U" + std::to_string(i) + " SITE: S");
  std::mt19937 random(99);
  std::string bytes;
  for (int i = 0; i < 6000; ++i) bytes += pool[random() % pool.size()] + "\r\n";
  std::optional<CertificateParser> parser;
  expect_agreement_with_rules_one_by_one(
      bytes + "\r\n\r\n\r\n",
      [&](FileTable& files, int number, Text& line, CertificateRecord& record) {
        if (!parser) parser.emplace(files, number);
        return parser->parse(line, record);
      });
}

}  // namespace
}  // namespace pat
