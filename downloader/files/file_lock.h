#pragma once

#include <string>

// Whole-file locks (flock) between copies of the program: a file one copy
// writes is never emptied, renamed or deleted by another.

namespace pat {

// Takes a flock lock (LOCK_EX or LOCK_SH) without waiting. False only when
// another open file holds a lock in the way; on a file system without locks
// the file counts as taken.
bool lock_without_waiting(int fd, int operation);

// True while the path still names the file open on fd: it was neither
// deleted nor renamed between the open and the lock.
bool still_named(int fd, const std::string& path);

// Locks the plain file under a name while this process deletes or renames
// it, so that no other copy takes it in between. A name that is no plain
// file, or that cannot be opened for reading, is not locked.
class NameChangeLock {
 public:
  NameChangeLock(int dir_fd, const std::string& path);
  ~NameChangeLock();
  NameChangeLock(const NameChangeLock&) = delete;
  NameChangeLock& operator=(const NameChangeLock&) = delete;

  // Another open file holds a lock on it: leave the name alone.
  bool held_elsewhere() const { return held_elsewhere_; }

 private:
  int fd_ = -1;
  bool held_elsewhere_ = false;
};

}  // namespace pat
