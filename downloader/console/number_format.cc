#include "downloader/console/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pat {

namespace {

// The seven significant digits, rounded to the nearest, and the decimal
// exponent, as "% .6E" gives them.
struct Scientific {
  char sign;
  std::string digits;  // seven digits
  int exponent;
};

Scientific scientific(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "% .6E", value);
  // buffer: sign position, digit, '.', six digits, 'E', sign, exponent digits
  Scientific s;
  s.sign = buffer[0];
  s.digits.push_back(buffer[1]);
  s.digits.append(buffer + 3, 6);
  s.exponent = std::atoi(buffer + 10);
  return s;
}

}  // namespace

std::string single_to_string(float value) {
  const double wide = value;
  if (!std::isfinite(wide)) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "% G", wide);
    return buffer;
  }
  const Scientific s = scientific(wide);

  int significant = 7;
  while (significant > 1 && s.digits[significant - 1] == '0') --significant;
  if (significant == 1 && s.digits[0] == '0') significant = 0;
  if (significant == 0) return " 0";

  const int e = s.exponent;
  if (e >= 7 || e - significant < -8) {
    std::string result(1, s.sign);
    result.push_back(s.digits[0]);
    if (significant >= 2) {
      result.push_back('.');
      result.append(s.digits, 1, significant - 1);
    }
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
    return result + exponent;
  }

  const int after_point = significant - e - 1 > 0 ? significant - e - 1 : 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "% .*f", after_point, wide);
  std::string result = buffer;
  if (result.size() > 1 && result[1] == '0') result.erase(1, 1);
  return result;
}

}  // namespace pat
