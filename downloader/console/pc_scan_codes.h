#pragma once

#include <cstdint>

#include "downloader/text/text.h"

namespace pat {

// The PC keyboard's scan code of a letter key (either case); 0 for other bytes.
inline std::uint8_t letter_scan_code(char letter) {
  static constexpr std::uint8_t scan[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                            49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  const char lower = ascii_lower(letter);
  return lower >= 'a' && lower <= 'z' ? scan[lower - 'a'] : 0;
}

}  // namespace pat
