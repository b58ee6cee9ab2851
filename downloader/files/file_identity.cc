#include "downloader/files/file_identity.h"

#include <string>

#include "downloader/files/system_name.h"

namespace pat {

FileIdentity identity_of(const struct stat& st) {
  return FileIdentity{st.st_dev, st.st_size, st.st_mtim};
}

std::optional<FileIdentity> file_identity(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string path = system_name(name);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return identity_of(st);
}

}  // namespace pat
