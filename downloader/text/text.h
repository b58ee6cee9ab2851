#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Text values: byte strings of explicit length (any byte, 0 included),
// positions counted from 1, and the edge rules every stage relies on.
// The operations are one set that the stages are written against, kept
// whole although the program calls only some of them: a stage may take up
// any other without a new edge rule, and the tests hold every one.

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

// The same cuts as views into s, for callers that need no copy (inline: the
// conversion makes millions of them).
inline std::string_view string_mid_view(std::string_view s, long start, long length) {
  const long size = static_cast<long>(s.size());
  if (start < 1) {
    length -= 1 - start;
    start = 1;
  }
  if (length < 1 || start > size) return {};
  if (length > size - start + 1) length = size - start + 1;
  return std::string_view(s.data() + (start - 1), static_cast<std::size_t>(length));
}

inline std::string_view string_right_view(std::string_view s, long n) {
  if (n <= 0) return {};
  const std::size_t count = static_cast<std::size_t>(n);
  if (count >= s.size()) return s;
  return std::string_view(s.data() + (s.size() - count), count);
}

// Values stand in wide columns: blanks are passed over eight at a time.
inline std::string_view string_ltrim_view(std::string_view s) {
  constexpr std::uint64_t eight_blanks = 0x2020202020202020ull;
  std::size_t first = 0;
  for (std::uint64_t word; s.size() - first >= 8; first += 8) {
    std::memcpy(&word, s.data() + first, 8);
    if (word != eight_blanks) break;
  }
  while (first < s.size() && s[first] == ' ') ++first;
  return std::string_view(s.data() + first, s.size() - first);
}

inline std::string_view string_rtrim_view(std::string_view s) {
  constexpr std::uint64_t eight_blanks = 0x2020202020202020ull;
  std::size_t size = s.size();
  for (std::uint64_t word; size >= 8; size -= 8) {
    std::memcpy(&word, s.data() + size - 8, 8);
    if (word != eight_blanks) break;
  }
  while (size > 0 && s[size - 1] == ' ') --size;
  return std::string_view(s.data(), size);
}

// Sets target to value, reusing the target's storage; value must not view
// the target itself.
inline void string_store(Text& target, std::string_view value) {
  target.clear();
  target.append(value.data(), value.size());
}

// ASCII letters only: every other byte, 128 to 255 included, stays as it is.
constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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
