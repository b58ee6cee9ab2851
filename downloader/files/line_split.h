#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "downloader/files/file_table.h"

// Where an input file's lines end: at a CR, an LF or their pair either way
// round, and before a byte 26, which is never taken. Shared by the file
// table and the readers that take lines straight from its buffer.

namespace pat {

inline constexpr unsigned char line_cr = 13;
inline constexpr unsigned char line_lf = 10;
inline constexpr unsigned char eof_mark = 26;

inline bool is_line_stop(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b == line_cr || b == line_lf || b == eof_mark;
}

// The first CR, LF or 26 in [begin, end), or end. Sixteen bytes at a time
// where the processor offers it: this is the inner loop of every conversion.
[[gnu::always_inline]] inline const char* find_line_stop(const char* begin, const char* end) {
  const char* at = begin;
#if defined(__SSE2__)
  const __m128i cr_bytes = _mm_set1_epi8(static_cast<char>(line_cr));
  const __m128i lf_bytes = _mm_set1_epi8(static_cast<char>(line_lf));
  const __m128i eof_bytes = _mm_set1_epi8(static_cast<char>(eof_mark));
  for (; end - at >= 16; at += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i stops = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, cr_bytes), _mm_cmpeq_epi8(chunk, lf_bytes)),
        _mm_cmpeq_epi8(chunk, eof_bytes));
    const int mask = _mm_movemask_epi8(stops);
    if (mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  while (at != end && !is_line_stop(*at)) ++at;
  return at;
}

// Most lines lie in the read buffer whole, with their line end and the byte
// after it: nothing can fail then, and the line is taken as a view into the
// buffer. False (and nothing taken) for any other line, which the table
// reads block by block.
inline bool take_whole_line(OpenFile& f, std::string_view& line) {
  const char* const begin = f.read_buf.data() + f.read_pos;
  const char* const end = f.read_buf.data() + f.read_buf.size();
  if (begin == end) return false;
  // An empty line needs no search.
  const char* const stop = is_line_stop(*begin) ? begin : find_line_stop(begin + 1, end);
  if (stop == end || static_cast<unsigned char>(*stop) == eof_mark) return false;
  const unsigned char pair = static_cast<unsigned char>(*stop) == line_cr ? line_lf : line_cr;
  const char* next = stop + 1;
  if (next != end && static_cast<unsigned char>(*next) == pair) ++next;
  if (next == end) return false;
  line = std::string_view(begin, static_cast<std::size_t>(stop - begin));
  f.read_pos += static_cast<std::size_t>(next - begin);
  f.position += static_cast<std::uint64_t>(next - begin);
  f.at_end = static_cast<unsigned char>(*next) == eof_mark;
  return true;
}

}  // namespace pat
