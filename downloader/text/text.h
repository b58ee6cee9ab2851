#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text values: byte strings of explicit length (any byte, 0 included),
// positions counted from 1, and the edge rules every stage relies on.

namespace pat {

using Text = std::string;

// A field that always holds exactly its width: shorter values are padded
// with blanks, longer ones cut.
class FixedText {
 public:
  explicit FixedText(std::size_t width);
  void assign(std::string_view value);
  const Text& value() const { return bytes_; }
  std::size_t width() const { return bytes_.size(); }

 private:
  Text bytes_;
};

void string_assign(Text& target, std::string_view value);
void string_assign(FixedText& target, std::string_view value);
Text string_concat(std::string_view a, std::string_view b);
Text string_left(std::string_view s, long n);
Text string_right(std::string_view s, long n);
Text string_mid(std::string_view s, long start, long length);
Text string_mid(std::string_view s, long start);
void mid_statement(Text& target, long start, long length, std::string_view replacement);
void mid_statement(Text& target, long start, std::string_view replacement);
long string_instr(std::string_view s, std::string_view search);
long string_instr(long start, std::string_view s, std::string_view search);
Text string_ltrim(std::string_view s);
Text string_rtrim(std::string_view s);
Text string_ucase(std::string_view s);
Text string_lcase(std::string_view s);
Text string_chr(long n);  // error 5 outside 0..255
int string_asc(std::string_view s);  // error 5 for the empty text
bool string_equal(std::string_view a, std::string_view b);
bool string_greater(std::string_view a, std::string_view b);
void string_swap(Text& a, Text& b);
double string_val(std::string_view s);
float floor_single(float x);

}  // namespace pat
