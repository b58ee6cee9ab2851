#include "downloader/text/text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>

#include "downloader/run_error.h"

namespace pat {

FixedText::FixedText(std::size_t width) : bytes_(width, '\0') {}

void FixedText::assign(std::string_view value) {
  const std::size_t width = bytes_.size();
  Text next(value.substr(0, width));
  next.resize(width, ' ');
  bytes_.swap(next);
}

void string_assign(Text& target, std::string_view value) {
  // The value may view the target itself.
  Text copy(value);
  target.swap(copy);
}

void string_assign(FixedText& target, std::string_view value) { target.assign(value); }

Text string_concat(std::string_view a, std::string_view b) {
  Text result;
  result.reserve(a.size() + b.size());
  result.append(a);
  result.append(b);
  return result;
}

Text string_left(std::string_view s, long n) {
  if (n <= 0) return Text();
  return Text(s.substr(0, static_cast<std::size_t>(n)));
}

Text string_right(std::string_view s, long n) { return Text(string_right_view(s, n)); }

Text string_mid(std::string_view s, long start, long length) {
  return Text(string_mid_view(s, start, length));
}

Text string_mid(std::string_view s, long start) {
  if (start < 1) start = 1;
  if (start > static_cast<long>(s.size())) return Text();
  return Text(s.substr(static_cast<std::size_t>(start - 1)));
}

void mid_statement(Text& target, long start, long length, std::string_view replacement) {
  const Text source(replacement);  // the replacement may be the target itself
  const long size = static_cast<long>(target.size());
  const long source_size = static_cast<long>(source.size());
  long skip = 0;
  if (start < 1) {
    skip = 1 - start;
    length -= skip;
    start = 1;
  }
  if (length <= 0 || start > size) return;
  if (length > size - start + 1) length = size - start + 1;
  if (skip >= source_size) return;
  if (length > source_size - skip) length = source_size - skip;
  target.replace(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length), source,
                 static_cast<std::size_t>(skip), static_cast<std::size_t>(length));
}

void mid_statement(Text& target, long start, std::string_view replacement) {
  mid_statement(target, start, static_cast<long>(replacement.size()), replacement);
}

long string_instr(std::string_view s, std::string_view search) {
  return string_instr(1, s, search);
}

long string_instr(long start, std::string_view s, std::string_view search) {
  const long size = static_cast<long>(s.size());
  const long found_size = static_cast<long>(search.size());
  if (s.empty()) return 0;
  if (start <= 0) {
    start = 1;
    if (search.empty()) return 0;
  }
  if (start > size) return 0;
  if (search.empty()) return start;
  if (start + found_size - 1 > size) return 0;
  const std::size_t at = s.find(search, static_cast<std::size_t>(start - 1));
  return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

Text string_ltrim(std::string_view s) { return Text(string_ltrim_view(s)); }

Text string_rtrim(std::string_view s) { return Text(string_rtrim_view(s)); }

Text string_ucase(std::string_view s) {
  Text result(s);
  for (char& c : result) c = ascii_upper(c);
  return result;
}

Text string_lcase(std::string_view s) {
  Text result(s);
  for (char& c : result) c = ascii_lower(c);
  return result;
}

Text string_chr(long n) {
  if (n < 0 || n > 255) raise_error(err::illegal_function_call);
  return Text(1, static_cast<char>(static_cast<unsigned char>(n)));
}

int string_asc(std::string_view s) {
  if (s.empty()) raise_error(err::illegal_function_call);
  return static_cast<unsigned char>(s[0]);
}

bool string_equal(std::string_view a, std::string_view b) { return a == b; }

bool string_greater(std::string_view a, std::string_view b) {
  // string_view compares through char_traits<char>, which orders bytes as
  // unsigned values.
  return a.compare(b) > 0;
}

void string_swap(Text& a, Text& b) { a.swap(b); }

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

double radix_value(std::string_view s, std::size_t at) {
  int base = 0;
  if (at < s.size()) {
    switch (s[at]) {
      case 'H': case 'h': base = 16; break;
      case 'O': case 'o': base = 8; break;
      case 'B': case 'b': base = 2; break;
      default: return 0;
    }
  }
  if (base == 0) return 0;
  std::uint64_t value = 0;
  for (++at; at < s.size(); ++at) {
    if (is_blank(s[at])) continue;
    const int digit = digit_value(s[at]);
    if (digit >= base) break;
    // Digits beyond 64 bits keep the largest value rather than wrapping.
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / base) {
      value = std::numeric_limits<std::uint64_t>::max();
    } else {
      value = value * base + digit;
    }
  }
  return static_cast<double>(value);
}

}  // namespace

double string_val(std::string_view s) {
  std::size_t at = 0;
  while (at < s.size() && is_blank(s[at])) ++at;
  if (at < s.size() && s[at] == '&') {
    ++at;
    while (at < s.size() && is_blank(s[at])) ++at;
    return radix_value(s, at);
  }

  // Gathered without the point, so that the conversion never meets a
  // locale's decimal separator: value = digits * 10^(exponent - fraction).
  bool negative = false;
  std::string digits;
  long fraction = 0;
  bool point = false;
  if (at < s.size() && (s[at] == '-' || s[at] == '+')) {
    negative = s[at] == '-';
    ++at;
  }
  for (; at < s.size(); ++at) {
    const char c = s[at];
    if (is_blank(c)) continue;
    if (c >= '0' && c <= '9') {
      if (!(digits.empty() && c == '0')) digits.push_back(c);
      if (point) ++fraction;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  long exponent = 0;
  if (at < s.size() && (s[at] == 'E' || s[at] == 'e' || s[at] == 'D' || s[at] == 'd')) {
    ++at;
    while (at < s.size() && is_blank(s[at])) ++at;
    bool exponent_negative = false;
    if (at < s.size() && (s[at] == '-' || s[at] == '+')) {
      exponent_negative = s[at] == '-';
      ++at;
    }
    for (; at < s.size(); ++at) {
      const char c = s[at];
      if (is_blank(c)) continue;
      if (c < '0' || c > '9') break;
      if (exponent < 100000) exponent = exponent * 10 + (c - '0');
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (digits.empty()) return 0;
  const std::string canonical = digits + "e" + std::to_string(exponent - fraction);
  const double value = std::strtod(canonical.c_str(), nullptr);
  return negative ? -value : value;
}

float floor_single(float x) { return std::floor(x); }

}  // namespace pat
