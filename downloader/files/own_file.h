#pragma once

#include <string_view>

#include "downloader/text/text.h"

// The program's own files in its folder (the working directory), whose
// names a user may type in another letter case: the configuration, the
// report headers and the com<N> links.

namespace pat {

// The name under which `name` (the program's text, no folder) stands in the
// working directory: itself when an entry of that name exists; otherwise
// the one entry whose name is the same but for the case of ASCII letters.
// Empty when there is no such entry, or more than one.
Text own_file_name(std::string_view name);

}  // namespace pat
