#pragma once

#include <string_view>

#include "downloader/text/text.h"

namespace pat {

// The name with its extension replaced: everything up to and including its
// first ".", then `extension`.
Text temporary_name(std::string_view file_name, std::string_view extension);

}  // namespace pat
