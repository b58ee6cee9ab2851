#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "downloader/files/file_lock.h"
#include "downloader/files/file_table.h"
#include "downloader/files/medium_sync.h"
#include "downloader/files/system_name.h"
#include "downloader/run_error.h"

namespace pat {

namespace {

bool holds_nul(std::string_view name) { return name.find('\0') != std::string_view::npos; }

// Everything up to and including the last "/"; "\" is an ordinary character
// of a name here.
std::string_view folder_part(std::string_view name) {
  const auto slash = name.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
}

bool folder_exists(std::string_view folder) {
  const std::string path = folder.empty() ? std::string(".") : std::string(folder);
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool utf8_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// "*" is any run of characters, "?" any one (all the bytes of a UTF-8
// character); every other byte stands for itself.
bool wildcard_match(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      ++n;
      while (n < name.size() && utf8_continuation(name[n])) ++n;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// A folder, or a link to one, is never deleted.
bool names_folder(int dir_fd, const char* entry) {
  struct stat st;
  if (::fstatat(dir_fd, entry, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (S_ISDIR(st.st_mode)) return true;
  return S_ISLNK(st.st_mode) && ::fstatat(dir_fd, entry, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool delete_refused(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == EBUSY ||
         error == ETXTBSY;
}

int rename_error(int error, const std::string& old_name) {
  if (error == ENOENT || error == ENOTDIR) {
    struct stat st;
    if (::lstat(old_name.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
      return err::file_not_found;
  }
  if (error == EINVAL || error == ENAMETOOLONG) return err::bad_file_name;
  if (error == EACCES || error == EPERM || error == EROFS || error == EBUSY)
    return err::path_file_access;
  return err::illegal_function_call;
}

// A rename that refuses to replace is not there: the file system lacks it
// (EINVAL, from the kernel and FUSE alike), or the kernel does (ENOSYS).
bool no_noreplace_rename(int error) { return error == EINVAL || error == ENOSYS; }

// Hard links are not there: EPERM is the kernel's answer for a file system
// without them (FUSE drivers such as exfat-fuse, vfat), the others are what
// some network file systems give.
bool no_hard_links(int error) {
  return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

// A rename or delete is done only once its folder entry is on the medium.
void flush_folder_of(const std::string& path) {
  if (sync_folder_of(path) != 0) raise_error(err::path_file_access);
}

// Deletes the one file of that name, so that the file system's own rules
// (letter case among them) decide what the name names.
void delete_one(const std::string& path) {
  const std::string_view folder = folder_part(path);
  const std::string entry = path.substr(folder.size());
  const std::string folder_path = folder.empty() ? std::string(".") : std::string(folder);
  if (entry.empty()) raise_error(err::file_not_found);
  const int dir_fd = ::open(folder_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) raise_error(err::file_not_found);
  int error_number = 0;
  if (names_folder(dir_fd, entry.c_str())) {
    error_number = err::file_not_found;
  } else {
    const NameChangeLock lock(dir_fd, entry);
    if (lock.held_elsewhere()) {
      error_number = err::file_already_open;
    } else if (::unlinkat(dir_fd, entry.c_str(), 0) != 0) {
      error_number = delete_refused(errno) ? err::file_already_open : err::file_not_found;
    }
  }
  ::close(dir_fd);
  if (error_number != 0) raise_error(error_number);
  flush_folder_of(path);
}

}  // namespace

bool file_exists(std::string_view name) {
  // Such a name could never be opened, so nothing of it exists for the run.
  if (name.empty() || holds_nul(name) ||
      name.find_first_of("*?") != std::string_view::npos)
    return false;
  const std::string path = system_name(name);
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void kill_files(std::string_view name) {
  if (holds_nul(name)) raise_error(err::file_not_found);
  const std::string path = system_name(name);
  // The program passes one name, never a pattern; a name holding "*" or
  // "?" is still read as one.
  if (path.find_first_of("*?") == std::string::npos) {
    delete_one(path);
    return;
  }
  const std::string_view folder = folder_part(path);
  const std::string_view pattern = std::string_view(path).substr(folder.size());
  const std::string folder_path = folder.empty() ? std::string(".") : std::string(folder);

  DIR* dir = ::opendir(folder_path.c_str());
  if (dir == nullptr) raise_error(err::file_not_found);
  // Matches are gathered first: deleting while the listing runs may skip
  // or repeat entries.
  std::vector<std::string> matches;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (wildcard_match(pattern, entry)) matches.emplace_back(entry);
  }
  const int dir_fd = ::dirfd(dir);

  int error_number = 0;
  bool deleted = false;
  for (const std::string& entry : matches) {
    if (names_folder(dir_fd, entry.c_str())) continue;
    const NameChangeLock lock(dir_fd, entry);
    if (lock.held_elsewhere()) {
      error_number = err::file_already_open;
      break;
    }
    if (::unlinkat(dir_fd, entry.c_str(), 0) != 0) {
      error_number = delete_refused(errno) ? err::file_already_open : err::file_not_found;
      break;
    }
    deleted = true;
  }
  ::closedir(dir);
  if (error_number != 0) raise_error(error_number);
  if (!deleted) raise_error(err::file_not_found);
  flush_folder_of(path);
}

void rename_file(std::string_view old_name, std::string_view new_name) {
  if (holds_nul(old_name) || holds_nul(new_name)) raise_error(err::bad_file_name);
  const std::string from = system_name(old_name);
  const std::string to = system_name(new_name);
  const NameChangeLock lock(AT_FDCWD, from);
  if (lock.held_elsewhere()) raise_error(err::path_file_access);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (!no_noreplace_rename(errno)) raise_error(rename_error(errno, from));
    // A hard link cannot replace an existing name either.
    if (::link(from.c_str(), to.c_str()) == 0) {
      if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        raise_error(rename_error(error, from));
      }
    } else {
      if (!no_hard_links(errno)) raise_error(rename_error(errno, from));
      // Neither (FUSE, shares): a plain rename once the new name is free.
      // The dialogue asked about a file under it, and nothing else of this
      // run takes the name in between.
      struct stat st;
      if (::lstat(to.c_str(), &st) == 0) raise_error(rename_error(EEXIST, from));
      if (errno != ENOENT) raise_error(rename_error(errno, from));
      if (::rename(from.c_str(), to.c_str()) != 0) raise_error(rename_error(errno, from));
    }
  }
  flush_folder_of(to);
  if (folder_part(from) != folder_part(to)) flush_folder_of(from);
}

int open_error_from_errno(int error) {
  switch (error) {
    case ENOTDIR:
      return err::path_not_found;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return err::permission_denied;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return err::device_unavailable;
    default:
      return err::file_not_found;
  }
}

int open_error_from_errno(int error, std::string_view name) {
  if (error == ENOENT || error == ENOTDIR) {
    return folder_exists(folder_part(name)) ? err::file_not_found : err::path_not_found;
  }
  return open_error_from_errno(error);
}

}  // namespace pat
