#include <array>
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

// The columns' slots in order: the title names the user before Test1.
constexpr std::array<int, 29> column_slots = {1,  2,  3,  4,  5,  7,  6,  8,  9,  10,
                                              11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                              21, 22, 23, 24, 25, 26, 27, 28, 29};

constexpr std::string_view special_bytes(",\"\n");

// The commas, quotes and line feeds in the text, sixteen bytes at a time
// where the processor offers it.
std::size_t specials_in(std::string_view text) {
#if defined(__SSE2__)
  if (text.size() >= 16) {
    const auto specials_at = [&text](std::size_t i) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
      return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(',')),
                                       _mm_cmpeq_epi8(chunk, _mm_set1_epi8('"'))),
                          _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n')));
    };
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;  // two counts of eight bytes each
    // A match is all ones: minus it, one; summed eight bytes at a time.
    const auto add = [&sums, &zero](__m128i found) {
      sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_sub_epi8(zero, found), zero));
    };
    std::size_t i = 0;
    for (; text.size() - i >= 16; i += 16) add(specials_at(i));
    if (i < text.size()) {
      // The last sixteen bytes, without those counted already.
      const int counted = static_cast<int>(16 - (text.size() - i));
      const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
      const __m128i fresh = _mm_cmpgt_epi8(lanes, _mm_set1_epi8(static_cast<char>(counted - 1)));
      add(_mm_and_si128(specials_at(text.size() - 16), fresh));
    }
    alignas(16) std::uint64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
    return static_cast<std::size_t>(halves[0] + halves[1]);
  }
#endif
  std::size_t count = 0;
  for (const char c : text) count += special_bytes.find(c) != std::string_view::npos ? 1 : 0;
  return count;
}

bool holds_special(std::string_view value) {
  return value.find_first_of(special_bytes) != std::string_view::npos;
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

void csv_row(const CertificateRecord& record, Text& row) {
  // Each value followed by its comma (the last by a line feed), in one
  // piece: the row is laid out in commas and each value copied into place.
  std::size_t size = column_slots.size();
  for (const int slot : column_slots) size += record[slot].size();
  row.assign(size, ',');
  char* out = row.data();
  for (const int slot : column_slots) {
    const Text& value = record[slot];
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    out += value.size() + 1;
  }
  row.back() = '\n';

  // The row's own commas and line feed are all it holds, mostly: then no
  // value holds a separator, a quote or a line end of its own.
  if (specials_in(row) == column_slots.size()) return;

  // A value holding a separator, a quote or a line end is quoted, each
  // quote in it doubled, so that it stays one column. The row is laid out
  // again from the values.
  std::array<bool, column_slots.size()> quoted{};
  std::array<std::size_t, column_slots.size()> quotes{};
  std::size_t quoted_size = size;
  for (std::size_t column = 0; column < column_slots.size(); ++column) {
    const Text& value = record[column_slots[column]];
    quoted[column] = holds_special(value);
    if (!quoted[column]) continue;
    quotes[column] = quotes_in(value);
    quoted_size += 2 + quotes[column];
  }
  row.assign(quoted_size, ',');
  out = row.data();
  for (std::size_t column = 0; column < column_slots.size(); ++column) {
    const Text& value = record[column_slots[column]];
    if (quoted[column]) {
      out = put_quoted(out, value, quotes[column]);
    } else {
      if (!value.empty()) std::memcpy(out, value.data(), value.size());
      out += value.size();
    }
    ++out;  // the comma
  }
  row.back() = '\n';
}

}  // namespace pat
