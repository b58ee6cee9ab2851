#pragma once

// The lines that reading a file line by line must give, written plainly:
// a line ends at CR, LF, CR LF or LF CR, the last line may lack an end, and
// a byte 26 ends the file.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace pat::fuzz {

inline std::vector<std::string> split_lines(std::string_view bytes) {
  // memchr keeps long lines quick under the fuzzer's comparison tracing.
  if (const void* mark = std::memchr(bytes.data(), 26, bytes.size())) {
    bytes = bytes.substr(0, static_cast<const char*>(mark) - bytes.data());
  }
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    const char* cr = static_cast<const char*>(std::memchr(begin, '\r', bytes.size()));
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', bytes.size()));
    const char* stop = !cr ? lf : !lf ? cr : std::min(cr, lf);
    if (stop == nullptr) {  // the last line, without an end
      lines.emplace_back(begin, end);
      break;
    }
    lines.emplace_back(begin, stop);
    const char partner = *stop == '\r' ? '\n' : '\r';
    const char* next = stop + 1;
    if (next < end && *next == partner) ++next;
    bytes.remove_prefix(static_cast<std::size_t>(next - begin));
  }
  return lines;
}

}  // namespace pat::fuzz
