#pragma once

#include <string>

namespace pat {

// The display form of a single-precision value: sign position, up to seven
// significant digits, no trailing zeros, no "0" before the point, exponent
// form for large and very small values. No trailing blank.
std::string single_to_string(float value);

}  // namespace pat
