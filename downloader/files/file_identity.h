#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string_view>

// Which file stands under a name: enough to tell, at a later moment, that
// the file there is still the one the operator was asked about. Known by
// its size and modification time on its file system, not by its inode
// number, which FUSE mounts may give anew each time a name is looked up.

namespace pat {

struct FileIdentity {
  dev_t device = 0;
  off_t size = 0;
  timespec modified{};

  bool operator==(const FileIdentity& other) const {
    return device == other.device && size == other.size &&
           modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
  }
};

FileIdentity identity_of(const struct stat& st);

// The plain file under the name (the program's text); none for a missing
// name, a folder or anything that is no plain file.
std::optional<FileIdentity> file_identity(std::string_view name);

}  // namespace pat
