#include "tests/support/scratch_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace pat::test {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(std::string_view prefix) {
  std::string pattern = (fs::temp_directory_path() / prefix).string() + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot make " + pattern);
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::file(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

WorkingFolder::WorkingFolder(std::string_view prefix)
    : ScratchFolder(prefix), old_cwd_(fs::current_path().string()) {
  fs::current_path(path());
}

WorkingFolder::~WorkingFolder() {
  // Before the folder goes, so that no process is left in a removed folder.
  std::error_code ignored;
  fs::current_path(old_cwd_, ignored);
}

}  // namespace pat::test
