#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "downloader/run_error.h"
#include "downloader/serial/serial_settings.h"
#include "downloader/text/text.h"

namespace pat {
namespace {

[[noreturn]] void malformed() { raise_error(err::bad_file_name); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

// One field of the option text: up to three letters, then a decimal number.
struct Field {
  std::string letters;
  std::optional<std::uint64_t> number;
};

// Longer numbers stop growing here: the options that take a number refuse
// anything this large, and the ones that ignore it must still accept it.
constexpr std::uint64_t kNumberLimit = 0x80000000;

Field split_field(std::string_view text) {
  Field field;
  std::size_t i = 0;
  while (i < text.size() && is_upper(text[i])) {
    if (field.letters.size() == 3) malformed();
    field.letters += text[i++];
  }
  const std::size_t digits_start = i;
  std::uint64_t value = 0;
  while (i < text.size() && is_digit(text[i])) {
    value = std::min(kNumberLimit, value * 10 + static_cast<std::uint64_t>(text[i] - '0'));
    ++i;
  }
  // Anything left is a letter after a digit or a character no field may hold.
  if (i != text.size()) malformed();
  const std::size_t digit_count = i - digits_start;
  if (digit_count > 0) {
    if (digit_count > 1 && text[digits_start] == '0') malformed();
    field.number = value;
  }
  return field;
}

// Cut at every ","; a "," at the very end adds no field.
std::vector<std::string> cut_fields(std::string_view text) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      fields.emplace_back(text.substr(start));
      break;
    }
    fields.emplace_back(text.substr(start, comma - start));
    start = comma + 1;
    if (start == text.size()) break;
  }
  return fields;
}

unsigned millis_option(const Field& field, unsigned when_absent) {
  if (!field.number) return when_absent;
  if (*field.number > 65535) malformed();
  return static_cast<unsigned>(*field.number);
}

void parse_options(std::string_view option_text, SerialSettings& s) {
  const std::vector<std::string> fields = cut_fields(string_ucase(option_text));

  s.baud_rate = 300;
  s.parity = Parity::even;
  s.data_bits = 7;
  s.ascii_mode = false;
  s.rts_off = false;
  s.line_feed = false;
  s.cd_ms = 0;
  s.cs_ms = 1000;
  s.ds_ms = 1000;
  std::optional<StopBits> stop_bits;
  std::optional<unsigned> op_ms;

  bool seen_rs = false, seen_mode = false, seen_lf = false, seen_tb = false,
       seen_rb = false, seen_cd = false, seen_cs = false, seen_ds = false;
  auto once = [](bool& seen) {
    if (seen) malformed();
    seen = true;
  };

  for (std::size_t index = 0; index < fields.size(); ++index) {
    const Field f = split_field(fields[index]);
    switch (index) {
      case 0:
        if (!f.letters.empty()) malformed();
        if (f.number) {
          if (*f.number == 0) malformed();
          s.baud_rate = static_cast<long>(*f.number);
        }
        break;
      case 1:
        if (f.number) malformed();
        if (f.letters.empty() || f.letters == "E") {
          s.parity = Parity::even;
        } else if (f.letters == "N") {
          s.parity = Parity::none;
        } else if (f.letters == "O") {
          s.parity = Parity::odd;
        } else if (f.letters == "S") {
          s.parity = Parity::space;
        } else if (f.letters == "M") {
          s.parity = Parity::mark;
        } else if (f.letters == "PE") {
          s.parity = Parity::pe;
        } else {
          malformed();
        }
        break;
      case 2:
        if (!f.letters.empty()) malformed();
        if (f.number) {
          if (*f.number < 5 || *f.number > 8) malformed();
          s.data_bits = static_cast<int>(*f.number);
        }
        break;
      case 3:
        if (fields[index] == "1") {
          stop_bits = StopBits::one;
        } else if (fields[index] == "2") {
          stop_bits = StopBits::two;
        } else if (!fields[index].empty()) {
          malformed();
        }
        break;
      default:
        if (f.letters.empty()) malformed();  // empty, or digits alone
        if (f.letters == "RS") {
          once(seen_rs);
          s.rts_off = true;
        } else if (f.letters == "BIN" || f.letters == "ASC") {
          once(seen_mode);
          s.ascii_mode = f.letters == "ASC";
        } else if (f.letters == "LF") {
          once(seen_lf);
          s.line_feed = true;
        } else if (f.letters == "TB") {
          once(seen_tb);
        } else if (f.letters == "RB") {
          once(seen_rb);
        } else if (f.letters == "CD") {
          once(seen_cd);
          s.cd_ms = millis_option(f, 0);
        } else if (f.letters == "CS") {
          once(seen_cs);
          s.cs_ms = millis_option(f, 1000);
        } else if (f.letters == "DS") {
          once(seen_ds);
          s.ds_ms = millis_option(f, 1000);
        } else if (f.letters == "OP") {
          if (op_ms) malformed();
          op_ms = millis_option(f, 10000);
        } else {
          malformed();
        }
        break;
    }
  }

  if (stop_bits) {
    s.stop_bits = *stop_bits;
  } else if (s.baud_rate <= 110) {
    s.stop_bits = s.data_bits == 5 ? StopBits::one_and_half : StopBits::two;
  } else {
    s.stop_bits = StopBits::one;
  }
  if (op_ms) {
    s.op_ms = *op_ms;
  } else {
    s.op_ms = std::min(10u * std::max(s.cd_ms, s.ds_ms), 65535u);
  }
  if (!s.ascii_mode) s.line_feed = false;
}

}  // namespace

bool com_option_parse(std::string_view name, SerialSettings& settings) {
  if (name.size() < 3 || ascii_upper(name[0]) != 'C' ||
      ascii_upper(name[1]) != 'O' || ascii_upper(name[2]) != 'M') {
    return false;
  }
  const std::size_t colon = name.find(':', 3);
  if (colon == std::string_view::npos) return false;
  const std::string_view digits = name.substr(3, colon - 3);
  if (!std::all_of(digits.begin(), digits.end(), is_digit)) return false;
  if (!digits.empty() && digits.front() == '0') return false;

  if (digits.empty() || digits.size() > 3) malformed();
  const int port = std::stoi(std::string(digits));
  if (port > 255) malformed();

  SerialSettings parsed;
  parsed.port = port;
  parse_options(name.substr(colon + 1), parsed);
  settings = parsed;
  return true;
}

}  // namespace pat
