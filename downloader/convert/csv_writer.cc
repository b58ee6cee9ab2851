#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "downloader/convert/writers.h"

namespace pat {

const std::string_view csv_title_text =
    "Appliance,Date,Time,Site,Location,User,Test1,Test2,Visual,Insulation Value,Result,"
    "Touch Leakage,Result,Earth Value, Result,Leakage, Result,Load, Result,Overall Result,"
    " Sub Leakage Value, Result,Flash Value, Result,IEC Lead,Comment #1,Comment #2,"
    " Comment #3,"
    "Comment #4\n";

void csv_title_line(FileTable& files, int number) {
  files.print_to_file(number, csv_title_text, false);
}

namespace {

// The positions among the sixteen bytes from `at` that hold a comma, a
// quote or a line feed, one bit each.
unsigned special_bytes(const char* at) {
#if defined(__SSE2__)
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i specials =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(',')),
                                _mm_cmpeq_epi8(chunk, _mm_set1_epi8('"'))),
                   _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n')));
  return static_cast<unsigned>(_mm_movemask_epi8(specials));
#else
  unsigned bits = 0;
  for (unsigned k = 0; k < 16; ++k) {
    if (at[k] == ',' || at[k] == '"' || at[k] == '\n') bits |= 1u << k;
  }
  return bits;
#endif
}

// The slots (one bit each) whose values, laid out in the row before the
// separators at the given positions, hold a comma, a quote or a line feed
// of their own. Sixteen bytes at a time; the separators' own bits are
// masked off, so that mostly nothing is left to look at.
std::uint32_t slots_holding_specials(std::string_view row,
                                     const std::array<std::size_t, 30>& separator) {
  std::uint32_t slots = 0;
  std::size_t next_separator = 1;
  std::size_t slot = 1;
  for (std::size_t i = 0; i < row.size(); i += 16) {
    unsigned bits;
    if (row.size() - i >= 16) {
      bits = special_bytes(row.data() + i);
    } else {
      char last[16] = {};  // zero bytes are no specials
      std::memcpy(last, row.data() + i, row.size() - i);
      bits = special_bytes(last);
    }
    for (; next_separator <= 29 && separator[next_separator] < i + 16; ++next_separator)
      bits &= ~(1u << (separator[next_separator] - i));
    for (; bits != 0; bits &= bits - 1) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(bits));
      while (separator[slot] < at) ++slot;
      slots |= std::uint32_t{1} << slot;
    }
  }
  return slots;
}

std::size_t quotes_in(std::string_view value) {
  std::size_t n = 0;
  for (const char* at = value.data(), *end = at + value.size();
       (at = static_cast<const char*>(std::memchr(at, '"', static_cast<std::size_t>(end - at))));
       ++at)
    ++n;
  return n;
}

// Writes the value in quotes, each of its `quotes` quotes doubled; the end
// of what was written.
char* put_quoted(char* out, std::string_view value, std::size_t quotes) {
  *out++ = '"';
  if (quotes == 0) {
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    out += value.size();
  } else {
    for (const char c : value) {
      if (c == '"') *out++ = '"';
      *out++ = c;
    }
  }
  *out++ = '"';
  return out;
}

}  // namespace

void csv_row(CertificateRecord& record, Text& row) {
  // The title names the user before Test1.
  string_swap(record[6], record[7]);
  // Each value followed by its comma (the last by a line feed), in one
  // piece: the row is laid out in commas and each value copied into place.
  std::array<std::size_t, 30> separator{};  // where each value's comma stands
  std::size_t size = 0;
  for (int slot = 1; slot <= 29; ++slot) {
    size += record[slot].size();
    separator[static_cast<std::size_t>(slot)] = size++;
  }
  row.assign(size, ',');
  for (int slot = 1; slot <= 29; ++slot) {
    const Text& value = record[slot];
    if (!value.empty())
      std::memcpy(row.data() + separator[static_cast<std::size_t>(slot)] - value.size(),
                  value.data(), value.size());
  }
  row.back() = '\n';

  // The values that hold a separator, a quote or a line end of their own:
  // mostly none, and the row is done.
  const std::uint32_t quoted = slots_holding_specials(row, separator);
  if (quoted == 0) return;

  // A value holding a separator, a quote or a line end is quoted, each
  // quote in it doubled, so that it stays one column. The row is laid out
  // again from the values.
  std::array<std::size_t, 30> quotes{};
  std::size_t quoted_size = size;
  for (int slot = 1; slot <= 29; ++slot) {
    if (((quoted >> slot) & 1u) == 0) continue;
    quotes[static_cast<std::size_t>(slot)] = quotes_in(record[slot]);
    quoted_size += 2 + quotes[static_cast<std::size_t>(slot)];
  }
  row.assign(quoted_size, ',');
  char* out = row.data();
  for (int slot = 1; slot <= 29; ++slot) {
    const Text& value = record[slot];
    if ((quoted >> slot) & 1u) {
      out = put_quoted(out, value, quotes[static_cast<std::size_t>(slot)]);
    } else {
      if (!value.empty()) std::memcpy(out, value.data(), value.size());
      out += value.size();
    }
    ++out;  // the comma
  }
  row.back() = '\n';
}

Text csv_row(CertificateRecord& record) {
  Text row;
  csv_row(record, row);
  return row;
}

}  // namespace pat
