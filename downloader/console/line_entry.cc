#include "downloader/console/line_entry.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace pat {

namespace {

constexpr std::size_t max_line = 255;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int radix_digit(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// The field of the line that the answer comes from: the quoted part when the
// line opens with a quote, else the whole line.
struct Field {
  bool well_formed = true;
  std::string_view text;
};

Field line_field(std::string_view line) {
  Field field;
  if (!line.empty() && line[0] == '"') {
    const std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos) {
      field.text = line.substr(1);
    } else {
      field.text = line.substr(1, close - 1);
      field.well_formed = close == line.size() - 1;
    }
  } else {
    field.text = line;
    field.well_formed = line.find(',') == std::string_view::npos;
  }
  return field;
}

// "&H" and "&O" forms; the line starts with '&'.
struct RadixNumber {
  bool well_formed = true;
  std::uint64_t value = 0;
};

RadixNumber read_radix(std::string_view s) {
  RadixNumber n;
  if (s.size() < 2) return n;
  int base = 0;
  std::size_t max_digits = 0;
  switch (s[1]) {
    case 'H': case 'h': base = 16; max_digits = 16; break;
    case 'O': case 'o': base = 8; max_digits = 22; break;
    default: n.well_formed = false; return n;
  }
  const std::string_view digits = s.substr(2);
  if (digits.size() > max_digits) n.well_formed = false;
  // 22 octal digits pass 64 bits unless the first is 0 or 1.
  if (base == 8 && digits.size() == max_digits && digits[0] > '1') n.well_formed = false;
  for (char c : digits) {
    const int d = radix_digit(c, base);
    if (d < 0) {
      n.well_formed = false;
      break;
    }
    n.value = n.value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
  }
  return n;
}

// A decimal number as far as it is typed, split into its parts; the scan
// stops at the first character the grammar refuses.
struct DecimalNumber {
  bool well_formed = true;
  bool negative = false;
  std::string whole;     // digits before the point
  bool point = false;
  std::string fraction;  // digits after the point
  bool exponent_letter = false;
  bool exponent_negative = false;
  std::string exponent;  // digits of the exponent
};

DecimalNumber read_decimal(std::string_view s) {
  DecimalNumber n;
  char previous = 0;
  for (std::size_t i = 0; i < s.size(); previous = s[i], ++i) {
    const char c = s[i];
    const bool after_letter = previous == 'E' || previous == 'e';
    bool ok = true;
    if (c == '-' && i == 0) {
      n.negative = true;
    } else if ((c == '-' || c == '+') && after_letter) {
      n.exponent_negative = c == '-';
    } else if (is_digit(c) && n.exponent_letter) {
      ok = n.exponent != "0";
      n.exponent.push_back(c);
    } else if (is_digit(c) && n.point) {
      n.fraction.push_back(c);
    } else if (is_digit(c)) {
      ok = n.whole != "0";
      n.whole.push_back(c);
    } else if (c == '.' && !n.point && !n.exponent_letter) {
      n.point = true;
    } else if ((c == 'E' || c == 'e') && !n.exponent_letter) {
      const bool any_digit = !n.whole.empty() || !n.fraction.empty();
      const bool fraction_nonzero = n.fraction.find_first_not_of('0') != std::string::npos;
      ok = any_digit && (!n.point || fraction_nonzero);
      n.exponent_letter = true;
    } else {
      ok = false;
    }
    if (!ok) {
      n.well_formed = false;
      // Keep only what came before the refused character.
      if (is_digit(c) && n.exponent_letter && n.exponent.size() > 1) n.exponent.pop_back();
      if (is_digit(c) && !n.exponent_letter && !n.point && n.whole.size() > 1) n.whole.pop_back();
      if (c == 'E' || c == 'e') n.exponent_letter = false;
      break;
    }
  }
  return n;
}

long exponent_value(const DecimalNumber& n) {
  long value = 0;
  for (char c : n.exponent) {
    if (value < 100000) value = value * 10 + (c - '0');
  }
  return n.exponent_negative ? -value : value;
}

std::size_t leading_zeros(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? digits.size() : first;
}

// Digit-by-digit comparison over at most seven digits: <0, 0 or >0.
int compare_seven(const std::string& digits, const char* limit) {
  for (std::size_t i = 0; i < 7 && i < digits.size(); ++i) {
    if (digits[i] != limit[i]) return digits[i] < limit[i] ? -1 : 1;
  }
  return 0;
}

// The limits that keep a decimal answer within single precision.
bool decimal_in_range(const DecimalNumber& n) {
  if (leading_zeros(n.fraction) > 43) return false;
  // A lone 0 before the point is no digit of the value.
  const std::string whole = n.whole == "0" ? std::string() : n.whole;
  const std::string all = whole + n.fraction;
  if (all.find_first_not_of('0') == std::string::npos) return true;  // zero

  long m = whole.empty() ? -static_cast<long>(leading_zeros(n.fraction))
                         : static_cast<long>(whole.size());
  m += exponent_value(n);
  const std::string significant = all.substr(leading_zeros(all));
  if (m > 39 || (m == 39 && compare_seven(significant, "3402823") > 0)) return false;
  if (m < -44 || (m == -44 && compare_seven(significant, "1401298") < 0)) return false;

  const std::size_t after = n.fraction == "0" ? 0 : n.fraction.size();
  if (after > 0) {
    if (!whole.empty() && whole.size() + after > 8) return false;
    if (whole.empty() && after - leading_zeros(n.fraction) > 8) return false;
  }
  return true;
}

bool number_acceptable(std::string_view s) {
  if (!s.empty() && s[0] == '&') return read_radix(s).well_formed;
  const DecimalNumber n = read_decimal(s);
  return n.well_formed && decimal_in_range(n);
}

float decimal_value(const DecimalNumber& n) {
  const std::string digits = n.whole + n.fraction;
  if (digits.find_first_not_of('0') == std::string::npos) return 0;
  // Written without a point, so that no locale's decimal separator matters.
  const long scale = exponent_value(n) - static_cast<long>(n.fraction.size());
  const std::string text = digits + "e" + std::to_string(scale);
  float value = std::strtof(text.c_str(), nullptr);
  // Past the largest single a typed value keeps the nearest finite one.
  if (std::isinf(value)) value = FLT_MAX;
  return n.negative ? -value : value;
}

float number_value(std::string_view s) {
  if (!s.empty() && s[0] == '&') return static_cast<float>(read_radix(s).value);
  return decimal_value(read_decimal(s));
}

}  // namespace

bool line_acceptable(std::string_view line, AnswerKind kind) {
  const Field field = line_field(line);
  if (!field.well_formed) return false;
  if (kind == AnswerKind::answer_text) return true;
  return number_acceptable(field.text);
}

Answer line_answer(std::string_view line, AnswerKind kind) {
  const Field field = line_field(line);
  Answer answer;
  if (kind == AnswerKind::answer_text) {
    answer.text = Text(field.text);
  } else {
    answer.number = number_value(field.text);
  }
  return answer;
}

Answer input_statement(Console& console, AnswerKind kind, bool line_end) {
  console.set_cursor_visible(true);
  // The start: cells, cursor and wrap_pending as the prompt left them.
  const TextScreen start = console.screen_copy();
  Text line;

  const auto echo = [&console](char byte) {
    console.print_to_screen(std::string_view(&byte, 1), false);
  };
  const auto redraw = [&] {
    console.restore_screen(start);
    for (char byte : line) echo(byte);
  };
  const auto type_byte = [&](char byte) {
    if (line.size() >= max_line) return;
    line.push_back(byte);
    echo(byte);
    if (!line_acceptable(line, kind)) {
      line.pop_back();
      redraw();
    }
  };

  for (;;) {
    console.check_end_request();
    const Text key = console.read_typed_key();
    if (key.size() != 1) {  // nothing typed, or a key without a character
      console.wait_for_typed_key();
      continue;
    }
    const unsigned char byte = static_cast<unsigned char>(key[0]);
    switch (byte) {
      case 13: {
        Answer answer = line_answer(line, kind);
        if (line_end) console.print_to_screen("", true);
        console.set_cursor_visible(false);
        return answer;
      }
      case 8:
        if (!line.empty()) {
          line.pop_back();
          redraw();
        }
        break;
      case 9:
        for (std::size_t blanks = 8 - line.size() % 8; blanks > 0; --blanks) type_byte(' ');
        break;
      case 7:
        console.print_to_screen(key, false);
        break;
      case 10: case 11: case 12: case 28: case 29: case 30: case 31:
        break;
      default:
        type_byte(key[0]);
        break;
    }
  }
}

}  // namespace pat
