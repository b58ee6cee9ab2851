#include "downloader/files/own_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "downloader/files/system_name.h"

namespace pat {
namespace {

// The entry's name in the program's text when it is `name` but for the
// case of ASCII letters. Only ASCII bytes may differ, so every other
// character of `name` stands in the result as it is.
std::optional<Text> same_but_case(std::string_view name, std::string_view entry) {
  Text found;
  std::size_t at = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (static_cast<unsigned char>(name[i]) < 128) {
      if (at >= entry.size() || ascii_lower(entry[at]) != ascii_lower(name[i])) return {};
      found += entry[at++];
    } else {
      const std::string on_disk = system_name(name.substr(i, 1));
      if (entry.substr(at, on_disk.size()) != on_disk) return {};
      found += name[i];
      at += on_disk.size();
    }
  }
  if (at != entry.size()) return {};
  return found;
}

}  // namespace

Text own_file_name(std::string_view name) {
  struct stat st;
  if (::lstat(system_name(name).c_str(), &st) == 0) return Text(name);
  DIR* dir = ::opendir(".");
  if (dir == nullptr) return {};
  Text found;
  int matches = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (std::optional<Text> match = same_but_case(name, e->d_name)) {
      found = std::move(*match);
      if (++matches > 1) break;
    }
  }
  ::closedir(dir);
  return matches == 1 ? found : Text();
}

}  // namespace pat
