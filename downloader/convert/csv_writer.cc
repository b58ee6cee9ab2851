#include <algorithm>
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

// Calls visit(q) for each position q of a comma, a quote or a line feed in
// the text, in order; sixteen bytes at a time where the processor offers it.
template <typename Visit>
void each_special(std::string_view text, Visit visit) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i feed = _mm_set1_epi8('\n');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i specials = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, comma), _mm_cmpeq_epi8(chunk, quote)),
        _mm_cmpeq_epi8(chunk, feed));
    for (unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(specials)); bits != 0;
         bits &= bits - 1)
      visit(i + static_cast<std::size_t>(std::countr_zero(bits)));
  }
#endif
  for (; i < text.size(); ++i) {
    if (text[i] == ',' || text[i] == '"' || text[i] == '\n') visit(i);
  }
}

// Writes the value in quotes, each quote in it doubled; the end of what was
// written.
char* put_quoted(char* out, std::string_view value) {
  *out++ = '"';
  for (const char c : value) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

}  // namespace

Text csv_row(CertificateRecord& record) {
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
  Text row(size, ',');
  for (int slot = 1; slot <= 29; ++slot) {
    const Text& value = record[slot];
    if (!value.empty())
      std::memcpy(row.data() + separator[static_cast<std::size_t>(slot)] - value.size(),
                  value.data(), value.size());
  }
  row.back() = '\n';

  // The values that hold a separator, a quote or a line end of their own:
  // mostly none, and the row is done.
  std::uint32_t quoted = 0;
  std::size_t slot = 1;
  each_special(row, [&](std::size_t at) {
    while (at > separator[slot]) ++slot;
    if (at != separator[slot]) quoted |= std::uint32_t{1} << slot;
  });
  if (quoted == 0) return row;

  // A value holding a separator, a quote or a line end is quoted, each
  // quote in it doubled, so that it stays one column.
  std::size_t quoted_size = size;
  for (int slot = 1; slot <= 29; ++slot) {
    if (((quoted >> slot) & 1u) == 0) continue;
    const Text& value = record[slot];
    quoted_size += 2 + static_cast<std::size_t>(std::count(value.begin(), value.end(), '"'));
  }
  Text quoted_row(quoted_size, ',');
  char* out = quoted_row.data();
  for (int slot = 1; slot <= 29; ++slot) {
    const Text& value = record[slot];
    if ((quoted >> slot) & 1u) {
      out = put_quoted(out, value);
    } else {
      if (!value.empty()) std::memcpy(out, value.data(), value.size());
      out += value.size();
    }
    ++out;  // the comma
  }
  quoted_row.back() = '\n';
  return quoted_row;
}

}  // namespace pat
