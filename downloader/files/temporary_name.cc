#include "downloader/files/temporary_name.h"

namespace pat {

Text temporary_name(std::string_view file_name, std::string_view extension) {
  return string_left(file_name, string_instr(file_name, ".")) + Text(extension);
}

}  // namespace pat
