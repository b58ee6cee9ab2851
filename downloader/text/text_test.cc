#include "downloader/text/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "downloader/run_error.h"

namespace pat {
namespace {

using namespace std::string_literals;

TEST(FixedTextTest, AssignPadsOrCuts) {
  struct Case {
    std::size_t width;
    std::string value;
    std::string stored;
  };
  const std::vector<Case> cases = {
      {1, "", " "},
      {5, "abc", "abc  "},
      {5, "abcdefg", "abcde"},
      {5, "abcde", "abcde"},
      {3, "a\0b"s, "a\0b"s},
  };
  for (const Case& c : cases) {
    FixedText field(c.width);
    string_assign(field, c.value);
    EXPECT_EQ(field.value(), c.stored) << c.width << " <- " << c.value;
    EXPECT_EQ(field.width(), c.width);
  }
}

TEST(FixedTextTest, StartsAsZeroBytesAndNeverEqualsEmpty) {
  FixedText field(2);
  EXPECT_EQ(field.value(), "\0\0"s);
  string_assign(field, "");
  EXPECT_FALSE(string_equal(field.value(), ""));
  EXPECT_EQ(string_concat(field.value(), "x"), "  x");
}

TEST(TextTest, AssignCopiesEveryByteAndMayReadItself) {
  Text target = "old";
  string_assign(target, "a\0\r\n\x1a"s);
  EXPECT_EQ(target, "a\0\r\n\x1a"s);
  string_assign(target, std::string_view(target).substr(1, 3));
  EXPECT_EQ(target, "\0\r\n"s);
}

TEST(TextTest, Concat) {
  EXPECT_EQ(string_concat("ab", "cd"), "abcd");
  EXPECT_EQ(string_concat("", "cd"), "cd");
  EXPECT_EQ(string_concat("ab", ""), "ab");
  EXPECT_EQ(string_concat("a\0"s, "\0b"s), "a\0\0b"s);
}

TEST(TextTest, LeftAndRight) {
  struct Case {
    std::string s;
    long n;
    std::string left;
    std::string right;
  };
  const std::vector<Case> cases = {
      {"abc", 11, "abc", "abc"}, {"abc", 12, "abc", "abc"}, {"abc", 3, "abc", "abc"},
      {"abc", 2, "ab", "bc"},    {"abc", 0, "", ""},        {"abc", -1, "", ""},
      {"", 2, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(string_left(c.s, c.n), c.left) << c.s << " " << c.n;
    EXPECT_EQ(string_right(c.s, c.n), c.right) << c.s << " " << c.n;
  }
}

TEST(TextTest, MidWithLength) {
  struct Case {
    long start;
    long length;
    std::string result;
  };
  const std::vector<Case> cases = {
      {2, 3, "BCD"}, {4, 10, "DE"}, {6, 1, ""}, {9, 21, ""}, {0, 3, "AB"},
      {-1, 3, "A"},  {-2, 3, ""},   {2, 0, ""}, {2, -4, ""}, {1, 5, "ABCDE"},
      {5, 1, "E"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(string_mid("ABCDE", c.start, c.length), c.result) << c.start << "," << c.length;
  }
}

TEST(TextTest, MidToTheEnd) {
  struct Case {
    long start;
    std::string result;
  };
  const std::vector<Case> cases = {{3, "CDE"}, {0, "ABCDE"}, {-7, "ABCDE"}, {5, "E"}, {6, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(string_mid("ABCDE", c.start), c.result) << c.start;
  }
  EXPECT_EQ(string_mid("", 1), "");
}

TEST(TextTest, MidStatementOverwritesInPlace) {
  struct Case {
    std::string target;
    long start;
    long length;  // -1: omitted
    std::string replacement;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"ABCDE", 3, 1, "-", "AB-DE"},
      {"ABCDE", 4, 5, "xyz", "ABCxy"},
      {"ABCDE", 2, 3, "x", "AxCDE"},
      {"ABCDE", 6, 1, "z", "ABCDE"},
      {"ABCDE", 0, 2, "xy", "yBCDE"},
      {"ABCDE", -1, 5, "xy", "ABCDE"},
      {"ABCDE", 2, 21, " ", "A CDE"},
      {"ABCDE", 2, 0, "xyz", "ABCDE"},
      {"", 1, 3, "xyz", ""},
      {"ABCDE", 2, -1, "xyz", "AxyzE"},
      {"ABCDE", 4, -1, "xyz", "ABCxy"},
      {"ABCDE", 0, -1, "xyz", "yzCDE"},
      {"ABCDE", 2, -1, "", "ABCDE"},
      {"A\0C"s, 2, 1, "\0"s, "A\0C"s},
  };
  for (const Case& c : cases) {
    Text target = c.target;
    if (c.length < 0) {
      mid_statement(target, c.start, c.replacement);
    } else {
      mid_statement(target, c.start, c.length, c.replacement);
    }
    EXPECT_EQ(target, c.result) << c.target << " " << c.start << "," << c.length << " "
                                << c.replacement;
  }
}

TEST(TextTest, MidStatementWithItselfAsReplacement) {
  Text target = "ABCDE";
  mid_statement(target, 2, 3, target);
  EXPECT_EQ(target, "AABCE");
}

TEST(TextTest, Instr) {
  struct Case {
    long start;  // 1 when omitted
    bool omitted;
    std::string s;
    std::string search;
    long result;
  };
  const std::vector<Case> cases = {
      {1, true, "ABCABC", "BC", 2},  {3, false, "ABCABC", "BC", 5},
      {1, true, "ABC", "CD", 0},     {1, true, "ABC", "", 1},
      {0, false, "ABC", "", 0},      {-3, false, "ABC", "", 0},
      {3, false, "ABC", "", 3},      {4, false, "ABC", "", 0},
      {1, true, "", "", 0},          {1, true, "", "A", 0},
      {1, true, "AB", "ABC", 0},     {0, false, "ABCABC", "BC", 2},
      {6, false, "ABCABC", "BC", 0}, {1, true, "abc", "B", 0},
      {1, true, "a\0b"s, "\0"s, 2},  {1, true, "xx:ab", ":", 3},
  };
  for (const Case& c : cases) {
    const long found =
        c.omitted ? string_instr(c.s, c.search) : string_instr(c.start, c.s, c.search);
    EXPECT_EQ(found, c.result) << c.start << " " << c.s << " " << c.search;
  }
}

TEST(TextTest, TrimsTouchOnlyBlanks) {
  struct Case {
    std::string s;
    std::string ltrim;
    std::string rtrim;
  };
  const std::vector<Case> cases = {
      {"\tx", "\tx", "\tx"},   {"   ", "", ""},         {"  ab", "ab", "  ab"},
      {"ab  ", "ab  ", "ab"},  {" a b ", "a b ", " a b"}, {"", "", ""},
      {"x\t ", "x\t ", "x\t"}, {" \0 "s, "\0 "s, " \0"s},
      // Long runs, passed over eight at a time, and what stops them.
      {std::string(17, ' '), "", ""},
      {std::string(16, ' ') + "x" + std::string(9, ' '), "x" + std::string(9, ' '),
       std::string(16, ' ') + "x"},
      {std::string(7, ' ') + "\t" + std::string(8, ' '), "\t" + std::string(8, ' '),
       std::string(7, ' ') + "\t"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(string_ltrim(c.s), c.ltrim) << "[" << c.s << "]";
    EXPECT_EQ(string_rtrim(c.s), c.rtrim) << "[" << c.s << "]";
  }
}

TEST(TextTest, CaseChangesTouchOnlyAsciiLetters) {
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  const Text upper = string_ucase(every_byte);
  const Text lower = string_lcase(every_byte);
  ASSERT_EQ(upper.size(), 256u);
  ASSERT_EQ(lower.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    const int up = static_cast<unsigned char>(upper[b]);
    const int low = static_cast<unsigned char>(lower[b]);
    EXPECT_EQ(up, b >= 'a' && b <= 'z' ? b - 32 : b) << b;
    EXPECT_EQ(low, b >= 'A' && b <= 'Z' ? b + 32 : b) << b;
  }
  EXPECT_EQ(string_ucase("End of Data 1!"), "END OF DATA 1!");
  EXPECT_EQ(string_lcase("End of Data 1!"), "end of data 1!");
}

TEST(TextTest, ChrAndAsc) {
  EXPECT_EQ(string_chr(0), "\0"s);
  EXPECT_EQ(string_chr(10), "\n");
  EXPECT_EQ(string_chr(13), "\r");
  EXPECT_EQ(string_chr(255), "\xff");
  EXPECT_EQ(string_asc("A"), 65);
  EXPECT_EQ(string_asc("\xc8z"), 200);
  EXPECT_EQ(string_asc("\0"s), 0);
}

TEST(TextTest, ChrAndAscRaiseError5OutOfRange) {
  for (long n : {-1L, 256L, 1000L}) {
    try {
      string_chr(n);
      ADD_FAILURE() << "string_chr(" << n << ") did not raise";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number, 5);
    }
  }
  try {
    string_asc("");
    ADD_FAILURE() << "string_asc of the empty text did not raise";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number, 5);
  }
}

TEST(TextTest, EqualAndGreater) {
  struct Case {
    std::string a;
    std::string b;
    bool equal;
    bool greater;
  };
  const std::vector<Case> cases = {
      {"a", "", false, true},
      {"", "", true, false},
      {"", "a", false, false},
      {"ab", "a", false, true},
      {"a", "ab", false, false},
      {"\xc8", "\x64", false, true},
      {"\x64", "\xc8", false, false},
      {"ABC", "abc", false, false},
      {"ab", "ab ", false, false},
      {"abd", "abc", false, true},
      {"ab", "ab", true, false},
      {"a\0"s, "a"s, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(string_equal(c.a, c.b), c.equal) << c.a << " = " << c.b;
    EXPECT_EQ(string_greater(c.a, c.b), c.greater) << c.a << " > " << c.b;
  }
}

TEST(TextTest, SwapExchangesValues) {
  Text a = "first";
  Text b = "\0"s;
  string_swap(a, b);
  EXPECT_EQ(a, "\0"s);
  EXPECT_EQ(b, "first");
}

TEST(TextTest, Val) {
  struct Case {
    std::string s;
    double value;
  };
  const std::vector<Case> cases = {
      {"", 0},         {" ", 0},           {"\t", 0},          {"x", 0},
      {"-", 0},        {"+", 0},           {".", 0},           {"3x", 3},
      {"  \t12", 12},  {"-7", -7},         {"+7", 7},          {"1.5", 1.5},
      {".25", 0.25},   {"1e3", 1000},      {"2D2", 200},       {"2d-1", 0.2},
      {"1E+2", 100},   {"1E", 1},          {"1.2.3", 1.2},     {"1 2", 12},
      {"&HFF", 255},   {"&hff", 255},      {"&O17", 15},       {"&o8", 0},
      {"&B101", 5},    {"&b12", 1},        {"&", 0},           {"&x1", 0},
      {"-0.5e1", -5},  {"0001", 1},        {"3\0"s + "4", 3},  {"E5", 0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(string_val(c.s), c.value) << "[" << c.s << "]";
  }
}

TEST(TextTest, ValOfEverySingleCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string s(1, static_cast<char>(b));
    const double expected = b >= '0' && b <= '9' ? b - '0' : 0;
    EXPECT_EQ(string_val(s), expected) << b;
  }
}

TEST(TextTest, FloorSingle) {
  struct Case {
    float x;
    float result;
  };
  const std::vector<Case> cases = {{59.9f, 59}, {-0.5f, -1}, {3, 3},    {2.7f, 2},
                                   {-2.5f, -3}, {0, 0},      {-3, -3}, {1e9f, 1e9f}};
  for (const Case& c : cases) {
    EXPECT_EQ(floor_single(c.x), c.result) << c.x;
  }
}

}  // namespace
}  // namespace pat
