#include "downloader/files/medium_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace pat {
namespace {

int system_fsync(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

MediumSync current_sync = system_fsync;

}  // namespace

int sync_to_medium(int fd) {
  int error;
  do {
    error = current_sync(fd);
  } while (error == EINTR);
  return error == EINVAL || error == EROFS ? 0 : error;
}

int sync_folder_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string_view::npos ? std::string(".")
                       : slash == 0                    ? std::string("/")
                                                       : std::string(path.substr(0, slash));
  int fd;
  do {
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  // A folder that may be written but not read cannot be opened to flush;
  // its entries are the file system's to keep then.
  if (fd < 0) return errno == EACCES ? 0 : errno;
  const int error = sync_to_medium(fd);
  ::close(fd);
  return error;
}

MediumSync replace_medium_sync(MediumSync sync) {
  const MediumSync old = current_sync;
  current_sync = sync != nullptr ? sync : system_fsync;
  return old;
}

}  // namespace pat
