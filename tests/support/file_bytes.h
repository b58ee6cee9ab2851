#pragma once

#include <string>
#include <string_view>

// Whole files as bytes. A file that cannot be read or written throws, so
// that a missing file never passes for an empty one.

namespace pat::test {

std::string read_bytes(const std::string& path);
void write_bytes(const std::string& path, std::string_view bytes);
// True for anything under the name, a dangling link too.
bool path_exists(const std::string& path);

}  // namespace pat::test
