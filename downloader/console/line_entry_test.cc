#include "downloader/console/line_entry.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <string>
#include <vector>

#include "downloader/console/console.h"
#include "downloader/run_error.h"
#include "tests/support/screen_rows.h"
#include "tests/support/scripted_backend.h"

namespace pat {
namespace {

using namespace std::string_literals;
using test::row_text;
using test::ScriptedBackend;

struct EntryCase {
  std::string keys;  // typed one by one, then Enter
  std::string line;  // what stays of them
  float number;      // the answer of a number entry
};

std::string zeros(int n) { return std::string(static_cast<std::size_t>(n), '0'); }

const std::vector<EntryCase>& number_cases() {
  static const std::vector<EntryCase> cases = {
      {"", "", 0},
      {"1a2", "12", 12},
      {"00", "0", 0},
      {"05", "0", 0},
      {"0.5", "0.5", 0.5f},
      {"-", "-", 0},
      {".", ".", 0},
      {"-.", "-.", 0},
      {"-05", "-0", 0},
      {"-12", "-12", -12},
      {"1-2", "12", 12},
      {"+1", "1", 1},
      {" 1 ", "1", 1},
      {"1D3", "13", 13},
      {"1d3", "13", 13},
      {"1,2", "12", 12},
      {"1.2.3", "1.23", 1.23f},
      {"&HFF", "&HFF", 255},
      {"&hff", "&hff", 255},
      {"&H", "&H", 0},
      {"&", "&", 0},
      {"&HG1", "&H1", 1},
      {"&O17", "&O17", 15},
      {"&o8", "&o", 0},
      {"&B1", "&", 0},
      {"-&H1", "-1", -1},
      {"&H" + std::string(17, 'F'), "&H" + std::string(16, 'F'), 18446744073709551615.0f},
      {"&O1" + std::string(22, '7'), "&O1" + std::string(21, '7'), 18446744073709551615.0f},
      {"&O2" + std::string(22, '7'), "&O2" + std::string(20, '7'), 3458764513820540927.0f},
      {"1e3", "1e3", 1000},
      {"1E+3", "1E+3", 1000},
      {"1E-2", "1E-2", 0.01f},
      {"1E", "1E", 1},
      {"1E-", "1E-", 1},
      {"1E--2", "1E-2", 0.01f},
      {"1EE2", "1E2", 100},
      {"1E0", "1E0", 1},
      {"1E05", "1E0", 1},
      {"1E2.5", "1E25", 1e25f},
      {"1.5", "1.5", 1.5f},
      {"1.5E3", "1.5E3", 1500},
      {".5E3", ".5E3", 500},
      {"1.E3", "1.3", 1.3f},
      {"0.0E3", "0.03", 0.03f},
      {"1.0E3", "1.03", 1.03f},
      {"1.05E3", "1.05E3", 1050},
      {"E5", "5", 5},
      {"-E5", "-5", -5},
      {".E5", ".5", 0.5f},
      {"1234567.89", "1234567.8", 1234567.8f},
      {"12345678.0", "12345678.0", 12345678},
      {"12345678.01", "12345678.0", 12345678},
      {"123456789", "123456789", 123456789.0f},
      {".123456789", ".12345678", 0.12345678f},
      {".000123456789", ".00012345678", 0.00012345678f},
      {"3.402823E38", "3.402823E38", 3.402823E38f},
      {"3.402824E38", "3.402824E3", 3402.824f},
      {"34028239E31", "34028239E31", FLT_MAX},
      {"4E38", "4E3", 4000},
      {"1E38", "1E38", 1e38f},
      {"1E39", "1E3", 1000},
      {"1" + zeros(39), "1" + zeros(38), 1e38f},
      {"4" + zeros(38), "4" + zeros(37), 4e37f},
      {"1.401298E-45", "1.401298E-45", FLT_TRUE_MIN},
      {"1.401297E-45", "1.401297E-4", 1.401297e-4f},
      {"1E-45", "1E-45", FLT_TRUE_MIN},
      {"1E-46", "1E-4", 1e-4f},
      {"." + zeros(43) + "1", "." + zeros(43) + "1", 1e-44f},
      {"." + zeros(44) + "1", "." + zeros(43) + "1", 1e-44f},
      {"0." + zeros(45), "0." + zeros(43), 0},
      {"\"12\"", "\"12\"", 12},
      {"\"12\"3", "\"12\"", 12},
      {"\"1,2\"", "\"12\"", 12},
  };
  return cases;
}

struct TextCase {
  std::string keys;
  std::string line;
  std::string text;
};

const std::vector<TextCase>& text_cases() {
  static const std::vector<TextCase> cases = {
      {"", "", ""},
      {" a ", " a ", " a "},
      {"\"a,b\"", "\"a,b\"", "a,b"},
      {"ab\"c", "ab\"c", "ab\"c"},
      {"\"a\"b,\"", "\"a\"", "a"},
      {"\"", "\"", ""},
      {"\"\"", "\"\"", ""},
      {"\"a b", "\"a b", "a b"},
      {"a,b", "ab", "ab"},
      {"x\x1b", "x\x1b", "x\x1b"},
      {"\x01\x1a", "\x01\x1a", "\x01\x1a"},
      {"Stock.csv", "Stock.csv", "Stock.csv"},
  };
  return cases;
}

// Keys refused one at a time, as the entry does it.
std::string typed_line(const std::string& keys, AnswerKind kind) {
  std::string line;
  for (char key : keys) {
    if (line_acceptable(line + key, kind)) line.push_back(key);
  }
  return line;
}

TEST(LineCheckTest, NumberKeysAndAnswers) {
  for (const EntryCase& c : number_cases()) {
    const std::string line = typed_line(c.keys, AnswerKind::answer_number);
    EXPECT_EQ(line, c.line) << "keys " << c.keys;
    EXPECT_EQ(line_answer(line, AnswerKind::answer_number).number, c.number) << "keys " << c.keys;
  }
}

TEST(LineCheckTest, TextKeysAndAnswers) {
  for (const TextCase& c : text_cases()) {
    const std::string line = typed_line(c.keys, AnswerKind::answer_text);
    EXPECT_EQ(line, c.line) << "keys " << c.keys;
    EXPECT_EQ(line_answer(line, AnswerKind::answer_text).text, c.text) << "keys " << c.keys;
  }
}

TEST(LineCheckTest, NumberAnswersIgnoreTheLocale) {
  // The terminal backend may take over the user's locale; a comma locale
  // must not turn 1.5 into 1.
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  bool comma_locale = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma_locale = true;
      break;
    }
  }
  if (!comma_locale) GTEST_SKIP() << "no locale with a decimal comma installed";
  const float plain = line_answer("1.5", AnswerKind::answer_number).number;
  const float scaled = line_answer("-.25E1", AnswerKind::answer_number).number;
  std::setlocale(LC_NUMERIC, before.c_str());
  EXPECT_EQ(plain, 1.5f);
  EXPECT_EQ(scaled, -2.5f);
}

TEST(LineCheckTest, WholeLinesOfEachKind) {
  struct Case {
    std::string line;
    AnswerKind kind;
    bool acceptable;
  };
  const std::vector<Case> cases = {
      {"0E3", AnswerKind::answer_number, true},
      {"0.000", AnswerKind::answer_number, true},
      {"5.0", AnswerKind::answer_number, true},
      {"1234567.0", AnswerKind::answer_number, true},
      {"123456789.0", AnswerKind::answer_number, true},
      {"3.4028235E38", AnswerKind::answer_number, true},
      {"3.5E38", AnswerKind::answer_number, false},
      {"14E-46", AnswerKind::answer_number, true},
      {"13E-46", AnswerKind::answer_number, false},
      {"1E-0", AnswerKind::answer_number, true},
      {"1E-00", AnswerKind::answer_number, false},
      {"&O", AnswerKind::answer_number, true},
      {"&HFFFFFFFFFFFFFFFF", AnswerKind::answer_number, true},
      {"\"1\"", AnswerKind::answer_number, true},
      {"\"x\"", AnswerKind::answer_number, false},
      {"a\"b\"c", AnswerKind::answer_text, true},
      {"\"a\"\"", AnswerKind::answer_text, false},
      {"\"a\",", AnswerKind::answer_text, false},
      {",", AnswerKind::answer_text, false},
      {"\",\"", AnswerKind::answer_text, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(line_acceptable(c.line, c.kind), c.acceptable) << c.line;
  }
}

// A 100 x 25 black-on-white console driven by a key script.
class LineEntryTest : public ::testing::Test {
 protected:
  LineEntryTest() {
    console.width_statement(100);
    console.colour_statement(0, 7);
    console.clear_screen();
  }

  Answer enter(AnswerKind kind, const std::string& keys, bool line_end = true) {
    backend.type_line(keys);
    return input_statement(console, kind, line_end);
  }

  std::string cells(int row, int column, int count) const {
    return row_text(console, row).substr(static_cast<std::size_t>(column - 1),
                                        static_cast<std::size_t>(count));
  }

  ScriptedBackend backend;
  Console console{backend};
};

TEST_F(LineEntryTest, NumberEntriesEchoWhatTheyKeep) {
  for (const EntryCase& c : number_cases()) {
    console.clear_screen();
    console.print_to_screen("? ", false);
    const Answer answer = enter(AnswerKind::answer_number, c.keys);
    EXPECT_EQ(answer.number, c.number) << "keys " << c.keys;
    const std::string shown = c.line.substr(0, 98);
    EXPECT_EQ(cells(1, 1, 2 + static_cast<int>(shown.size()) + 1), "? " + shown + " ")
        << "keys " << c.keys;
    EXPECT_EQ(console.screen().cursor_column, 1);
    EXPECT_FALSE(console.screen().cursor_visible);
  }
}

TEST_F(LineEntryTest, TextEntriesEchoWhatTheyKeep) {
  for (const TextCase& c : text_cases()) {
    console.clear_screen();
    console.print_to_screen("Name: ", false);
    const Answer answer = enter(AnswerKind::answer_text, c.keys);
    EXPECT_EQ(answer.text, c.text) << "keys " << c.keys;
    EXPECT_EQ(cells(1, 1, 6 + static_cast<int>(c.line.size()) + 1), "Name: " + c.line + " ")
        << "keys " << c.keys;
    EXPECT_EQ(console.screen().cursor_row, 2);
    EXPECT_EQ(console.screen().cursor_column, 1);
  }
}

TEST_F(LineEntryTest, TabBecomesBlanksToTheNextMultipleOfEight) {
  struct Case {
    AnswerKind kind;
    std::string keys;
    std::string text;
    float number;
  };
  const std::vector<Case> cases = {
      {AnswerKind::answer_text, "\t", std::string(8, ' '), 0},
      {AnswerKind::answer_text, "ab\tc", "ab      c", 0},
      {AnswerKind::answer_text, "12345678\t", "12345678" + std::string(8, ' '), 0},
      {AnswerKind::answer_text, "\"a\"\t", "a", 0},
      {AnswerKind::answer_number, "\t1\t2", "", 12},
  };
  for (const Case& c : cases) {
    const Answer answer = enter(c.kind, c.keys);
    EXPECT_EQ(answer.text, c.text) << c.keys;
    EXPECT_EQ(answer.number, c.number) << c.keys;
  }
}

TEST_F(LineEntryTest, ControlBytesAndKeysWithoutCharacterAreNotTyped) {
  backend.type("a\x07\n\x0b\x0c\x1c\x1d\x1e\x1f");
  backend.press(key::left, TypedKey{0, 75}, true);
  backend.press(key::f1, TypedKey{0, 59}, true);
  backend.type("b");
  backend.type_line("");
  console.print_to_screen("> ", false);
  const Answer answer = input_statement(console, AnswerKind::answer_text, true);
  EXPECT_EQ(answer.text, "ab");
  EXPECT_EQ(cells(1, 1, 5), "> ab ");
  EXPECT_EQ(console.screen().cursor_row, 2);
}

TEST_F(LineEntryTest, BackspaceRemovesTheLastCharacter) {
  struct Case {
    AnswerKind kind;
    std::string keys;
    std::string text;
    float number;
  };
  const std::vector<Case> cases = {
      {AnswerKind::answer_text, "\b\babc\bd", "abd", 0},
      {AnswerKind::answer_text, "\"a\"\bb\"", "ab", 0},
      {AnswerKind::answer_text, "\"a\"x\b\bb", "b", 0},
      {AnswerKind::answer_number, "12\b3", "", 13},
      {AnswerKind::answer_number, "1.E\b5", "", 15},
  };
  for (const Case& c : cases) {
    const Answer answer = enter(c.kind, c.keys);
    EXPECT_EQ(answer.text, c.text) << c.keys;
    EXPECT_EQ(answer.number, c.number) << c.keys;
  }
}

TEST_F(LineEntryTest, TheLineHoldsAtMost255Characters) {
  const std::string full(255, 'a');
  EXPECT_EQ(enter(AnswerKind::answer_text, full + "bc").text, full);
  EXPECT_EQ(enter(AnswerKind::answer_text, full + "b\b").text, std::string(254, 'a'));
  EXPECT_EQ(enter(AnswerKind::answer_text, std::string(250, 'a') + "\t").text,
            std::string(250, 'a') + std::string(5, ' '));
}

TEST_F(LineEntryTest, RedrawShowsWhatTheEntryOverwrote) {
  console.print_to_screen("XXXXXXXXXX", false);
  console.locate_cursor(1, 1);
  EXPECT_EQ(enter(AnswerKind::answer_text, "abc\b").text, "ab");
  EXPECT_EQ(cells(1, 1, 10), "abXXXXXXXX");

  // A refused key is echoed, then taken back with the cell it covered.
  console.locate_cursor(1, 1);
  EXPECT_EQ(enter(AnswerKind::answer_number, "1x").number, 1);
  EXPECT_EQ(cells(1, 1, 10), "1bXXXXXXXX");
}

TEST_F(LineEntryTest, AnAnswerReachingColumn100Wraps) {
  console.locate_cursor(3, 96);
  EXPECT_EQ(enter(AnswerKind::answer_text, "abcdefgh").text, "abcdefgh");
  EXPECT_EQ(cells(3, 96, 5), "abcde");
  EXPECT_EQ(cells(4, 1, 4), "fgh ");
  EXPECT_EQ(console.screen().cursor_row, 5);
  EXPECT_EQ(console.screen().cursor_column, 1);

  // Filling the row exactly leaves one line end, not two.
  console.locate_cursor(9, 96);
  EXPECT_EQ(enter(AnswerKind::answer_text, "abcde").text, "abcde");
  EXPECT_EQ(cells(9, 96, 5), "abcde");
  EXPECT_EQ(console.screen().cursor_row, 10);
  EXPECT_EQ(console.screen().cursor_column, 1);
}

TEST_F(LineEntryTest, ARefusedKeyPastTheRowEdgeLeavesTheNextRowAlone) {
  console.locate_cursor(7, 1);
  console.print_to_screen("keep", false);
  console.locate_cursor(6, 99);
  EXPECT_EQ(enter(AnswerKind::answer_number, "12x").number, 12);
  EXPECT_EQ(cells(6, 99, 2), "12");
  EXPECT_EQ(cells(7, 1, 4), "keep");
  EXPECT_EQ(console.screen().cursor_row, 7);
  EXPECT_EQ(console.screen().cursor_column, 1);
}

TEST_F(LineEntryTest, RedrawAfterTheEchoScrolledPutsTheScreenBack) {
  console.print_to_screen("top", false);
  console.locate_cursor(25, 1);
  console.print_to_screen("last row", false);
  console.locate_cursor(24, 95);
  EXPECT_EQ(enter(AnswerKind::answer_text, "abcdefgh\b\b\b\b").text, "abcd");
  // Only the closing line end scrolled: "top" went, row 2 came up.
  EXPECT_EQ(cells(23, 95, 6), "abcd  ");
  EXPECT_EQ(cells(24, 1, 100), std::string(100, ' '));
  EXPECT_EQ(cells(1, 1, 3), "   ");
  EXPECT_EQ(cells(25, 1, 8), "last row");
}

TEST_F(LineEntryTest, WithoutLineEndTheCursorStaysBehindTheAnswer) {
  console.print_to_screen("Port: ", false);
  EXPECT_EQ(enter(AnswerKind::answer_number, "3", false).number, 3);
  EXPECT_EQ(console.screen().cursor_row, 1);
  EXPECT_EQ(console.screen().cursor_column, 8);
  EXPECT_FALSE(console.screen().cursor_visible);
}

TEST_F(LineEntryTest, KeysTypedBeforeTheCallComeFirst) {
  console.key_press('4', TypedKey{'4', 0}, true);
  console.key_press('2', TypedKey{'2', 0}, true);
  EXPECT_EQ(enter(AnswerKind::answer_number, "").number, 42);
}

// A pasted name arrives in one piece, more keys than the buffer holds.
TEST_F(LineEntryTest, ALinePastedBeforeTheCallArrivesWhole) {
  const std::string name = "north-workshop-store-room-may-2019";
  for (char c : name + "\r") {
    const auto byte = static_cast<std::uint8_t>(c);
    console.key_press(byte, TypedKey{byte, 0}, true);
  }
  EXPECT_EQ(input_statement(console, AnswerKind::answer_text, true).text, name);
  EXPECT_EQ(cells(1, 1, static_cast<int>(name.size())), name);
  EXPECT_EQ(console.screen().cursor_row, 2);
}

TEST_F(LineEntryTest, TheEndRequestEndsAWaitingEntry) {
  backend.type("12x");
  backend.end_request();
  backend.type_line("3");
  EXPECT_THROW(input_statement(console, AnswerKind::answer_number, true), ProgramExit);
  EXPECT_EQ(cells(1, 1, 3), "12 ");
  // It was still waiting, cursor shown, after redrawing for the refused x.
  EXPECT_TRUE(console.screen().cursor_visible);
}

}  // namespace
}  // namespace pat
