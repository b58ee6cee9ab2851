// The line entry fed keys: each answer is what the keys spell under the
// entry's rules, computed here by a model of its own; a text answer holds at
// most 255 characters and a number answer is a finite single.
//
// Input: a kind byte (bit i: entry i % 8 reads a number), then the keys, one
// byte each; byte 13 (Enter) ends an entry and the next entry reads on. Every
// byte is typed as that character, except 0xE0, which stands for a key
// without a character (an arrow key).

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "downloader/console/console.h"
#include "downloader/console/line_entry.h"
#include "downloader/run_error.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/scripted_backend.h"

using namespace pat;
using pat::test::ScriptedBackend;

namespace {

constexpr std::size_t longest_line = 255;
constexpr unsigned char arrow_key = 0xE0;

bool digit(char c) { return c >= '0' && c <= '9'; }

std::size_t zeros_in_front(const std::string& digits) {
  std::size_t n = 0;
  while (n < digits.size() && digits[n] == '0') ++n;
  return n;
}

// The answer's field of a typed line, or nothing when the quotes or a comma
// make the line unacceptable.
std::optional<std::string> field_of(const std::string& line) {
  if (line.empty() || line[0] != '"') {
    if (line.find(',') != std::string::npos) return std::nullopt;
    return line;
  }
  const std::size_t close = line.find('"', 1);
  if (close == std::string::npos) return line.substr(1);
  if (close != line.size() - 1) return std::nullopt;  // something after the closing quote
  return line.substr(1, close - 1);
}

// "&H" and "&O" numbers, whole or begun.
bool radix_acceptable(const std::string& s) {
  if (s.size() == 1) return true;
  const std::string digits = s.substr(2);
  if (s[1] == 'H' || s[1] == 'h') {
    if (digits.size() > 16) return false;
    for (char c : digits) {
      if (!digit(c) && !((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
  }
  if (s[1] == 'O' || s[1] == 'o') {
    if (digits.size() > 22 || (digits.size() == 22 && digits[0] > '1')) return false;
    for (char c : digits) {
      if (c < '0' || c > '7') return false;
    }
    return true;
  }
  return false;
}

std::uint64_t radix_value(const std::string& s) {
  std::uint64_t value = 0;
  const unsigned base = (s.size() > 1 && (s[1] == 'H' || s[1] == 'h')) ? 16 : 8;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const char c = s[i];
    const unsigned d = digit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    value = value * base + d;
  }
  return value;
}

// Compares the significant digits with a limit over at most seven digits.
int against(const std::string& digits, const std::string& limit) {
  for (std::size_t i = 0; i < 7 && i < digits.size(); ++i) {
    if (digits[i] != limit[i]) return digits[i] < limit[i] ? -1 : 1;
  }
  return 0;
}

// A decimal number, whole or begun, with the limits that keep it a single.
bool decimal_acceptable(const std::string& s) {
  std::string whole, fraction, exponent;
  bool point = false, letter = false, exponent_negative = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '-' && i == 0) continue;
    if (letter) {
      const bool right_after_letter = s[i - 1] == 'E' || s[i - 1] == 'e';
      if ((c == '+' || c == '-') && right_after_letter) {
        exponent_negative = c == '-';
      } else if (digit(c) && exponent != "0") {
        exponent.push_back(c);
      } else {
        return false;
      }
    } else if (digit(c)) {
      if (point) {
        fraction.push_back(c);
      } else if (whole == "0") {
        return false;  // a first 0 stands alone or before the point
      } else {
        whole.push_back(c);
      }
    } else if (c == '.' && !point) {
      point = true;
    } else if (c == 'E' || c == 'e') {
      // Not first, not right after the point, and after a point only once a
      // digit other than 0 follows it.
      if (point ? zeros_in_front(fraction) == fraction.size() : whole.empty()) return false;
      letter = true;
    } else {
      return false;
    }
  }

  if (zeros_in_front(fraction) > 43) return false;
  // A lone 0 before the point only shows where the point is.
  if (whole == "0") whole.clear();
  const std::string digits = whole + fraction;
  const std::size_t lead = zeros_in_front(digits);
  if (lead == digits.size()) return true;  // the value is zero
  long scale = 0;
  for (char c : exponent) scale = std::min(scale * 10 + (c - '0'), 1000000L);
  if (exponent_negative) scale = -scale;
  const long m = (whole.empty() ? -static_cast<long>(zeros_in_front(fraction))
                                : static_cast<long>(whole.size())) + scale;
  const std::string significant = digits.substr(lead);
  if (m > 39 || (m == 39 && against(significant, "3402823") > 0)) return false;
  if (m < -44 || (m == -44 && against(significant, "1401298") < 0)) return false;
  const std::size_t after = fraction == "0" ? 0 : fraction.size();
  if (after > 0 && !whole.empty() && whole.size() + after > 8) return false;
  if (after > 0 && whole.empty() && after - zeros_in_front(fraction) > 8) return false;
  return true;
}

bool acceptable(const std::string& line, bool number) {
  const std::optional<std::string> field = field_of(line);
  if (!field) return false;
  if (!number || field->empty()) return true;
  return (*field)[0] == '&' ? radix_acceptable(*field) : decimal_acceptable(*field);
}

float number_of(const std::string& field) {
  if (!field.empty() && field[0] == '&') return static_cast<float>(radix_value(field));
  // An exponent begun but without digits counts for nothing.
  std::string text = field;
  if (!text.empty() && (text.back() == '+' || text.back() == '-') && text.size() > 1 &&
      (text[text.size() - 2] == 'E' || text[text.size() - 2] == 'e')) {
    text.pop_back();
  }
  if (!text.empty() && (text.back() == 'E' || text.back() == 'e')) text.pop_back();
  if (text.find_first_of("0123456789") == std::string::npos) return 0;
  float value = std::strtof(text.c_str(), nullptr);
  if (std::isinf(value)) value = std::copysign(FLT_MAX, value);
  return value;
}

// The line that the keys of one entry leave, by the key table.
std::string typed_line(const std::string& keys, bool number) {
  std::string line;
  const auto type = [&](char c) {
    if (line.size() >= longest_line) return;
    if (acceptable(line + c, number)) line.push_back(c);
  };
  for (char key : keys) {
    switch (static_cast<unsigned char>(key)) {
      case 8:
        if (!line.empty()) line.pop_back();
        break;
      case 9:
        for (std::size_t blanks = 8 - line.size() % 8; blanks > 0; --blanks) type(' ');
        break;
      case 7: case 10: case 11: case 12: case 28: case 29: case 30: case 31: case arrow_key:
        break;
      default:
        type(key);
        break;
    }
  }
  return line;
}

std::string shown(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::enter_scratch_folder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned kinds = data[0];
  std::vector<std::string> entries(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 13) {
      entries.emplace_back();
    } else {
      entries.back().push_back(static_cast<char>(data[i]));
    }
  }

  ScriptedBackend backend;
  Console console{backend};
  console.width_statement(100);
  console.colour_statement(0, 7);
  console.clear_screen();
  for (const std::string& keys : entries) {
    for (char key : keys) {
      if (static_cast<unsigned char>(key) == arrow_key) {
        backend.press(key::left, TypedKey{0, 75}, true);
        backend.release(key::left);
      } else {
        backend.type(std::string_view(&key, 1));
      }
    }
    backend.type_line("");
  }

  for (std::size_t i = 0; i < entries.size(); ++i) {
    const bool number = (kinds >> (i % 8)) & 1;
    const std::string line = typed_line(entries[i], number);
    const std::string field = *field_of(line);
    const std::string what = "keys " + fuzz::escaped(entries[i]) + " line " + fuzz::escaped(line);
    Answer answer;
    try {
      answer = input_statement(console, number ? AnswerKind::answer_number : AnswerKind::answer_text,
                               true);
    } catch (const ProgramExit&) {
      fuzz::fail("the entry ended the run", what);
    }
    if (number) {
      FUZZ_CHECK(std::isfinite(answer.number), what);
      const float expected = number_of(field);
      FUZZ_CHECK(answer.number == expected,
                 what + " gave " + shown(answer.number) + " expected " + shown(expected));
      FUZZ_CHECK(answer.text.empty(), what);
    } else {
      FUZZ_CHECK(answer.text.size() <= longest_line, what);
      FUZZ_CHECK(answer.text == field, what + " gave " + fuzz::escaped(answer.text));
      FUZZ_CHECK(answer.number == 0, what);
    }
  }
  return 0;
}
