#pragma once

#include <string>
#include <string_view>

// Names as the file system holds them.

namespace pat {

// A name of the program's own text (code page 437) as handed to the system:
// bytes 128 to 255 become the UTF-8 of their characters, the others stay.
std::string system_name(std::string_view name);

}  // namespace pat
